#!/usr/bin/env bash
# Set-up on a fresh Debian machine, in one command each:
#   ./setup.sh play   installs what is missing, builds, and starts the game on the sample data
#   ./setup.sh test   installs what is missing, builds, and runs every test (and the short fuzz runs)
# Extra arguments after "play" go to the game (e.g. ./setup.sh play -software).
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-play}
shift || true

PACKAGES=(
  g++ cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev
  zlib1g-dev libisal-dev libpng-dev libjpeg62-turbo-dev libfreetype-dev libtinyxml-dev liblua5.1-0-dev
  libsdl2-dev libx11-dev libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  libsndfile1-dev libunibreak-dev fonts-dejavu-core
  librsvg2-bin fonts-texgyre python3-pil python3-numpy
  clang libclang-rt-14-dev
  xvfb xauth xdotool
)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j"$(nproc)"
}

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer, leak checks on.
build_asan() {
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILL_SANITIZE=ON
  cmake --build build-asan -j"$(nproc)"
}

test_asan() {
  ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=0 \
  LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600
}

build_fuzz() {
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILL_BUILD_FUZZ=ON -DQUILL_BUILD_TESTS=OFF
  cmake --build build-fuzz -j"$(nproc)" --target quill_fuzz_all
}

case "$mode" in
  play)
    install_missing
    build
    cd build/bin
    exec ./VelvetAisle "$@"
    ;;
  test)
    install_missing
    build
    ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
    build_asan
    test_asan
    if [ -d fuzz ] && ls fuzz/fuzz_*.cpp >/dev/null 2>&1; then
      build_fuzz
      tools/run_fuzz.sh build-fuzz/bin "${QUILL_FUZZ_SECONDS:-30}"
    fi
    ;;
  *)
    echo "usage: $0 play|test" >&2
    exit 2
    ;;
esac
