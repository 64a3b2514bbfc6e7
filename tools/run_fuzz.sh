#!/usr/bin/env bash
# Runs every fuzz target in <bin folder> for <seconds> each on its seed corpus; fails on a crash.
# Targets run side by side, one per core (QUILL_FUZZ_JOBS overrides the count).
set -euo pipefail
bin=$1
secs=${2:-30}
jobs=${QUILL_FUZZ_JOBS:-$(nproc)}
root=$(cd "$(dirname "$0")/.." && pwd)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

run_one() {
  local target=$1 name corpus_src work
  name=$(basename "$target")
  corpus_src="$root/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$corpus_src" ] && cp -r "$corpus_src"/. "$work"/
  # A corpus may also seed from folders of the repository listed in seeds-from.txt
  # (for instance the test scripts), so the same inputs are not kept twice.
  if [ -f "$corpus_src/seeds-from.txt" ]; then
    rm -f "$work/seeds-from.txt"
    while read -r extra; do
      [ -n "$extra" ] && [ -d "$root/$extra" ] && cp -r "$root/$extra"/. "$work"/
    done < "$corpus_src/seeds-from.txt"
  fi
  if LSAN_OPTIONS="suppressions=$root/tools/fuzz_lsan.supp:print_suppressions=0" \
     "$target" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$work/" "$work" > "$logs/$name.log" 2>&1; then
    echo ok > "$logs/$name.status"
  else
    echo fail > "$logs/$name.status"
  fi
  rm -rf "$work"
}

names=()
for target in "$bin"/fuzz_*; do
  [ -x "$target" ] || continue
  names+=("$(basename "$target")")
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
  run_one "$target" &
done
wait

status=0
for name in "${names[@]}"; do
  echo "== $name for ${secs}s"
  if [ "$(cat "$logs/$name.status" 2>/dev/null)" != ok ]; then
    echo "FAIL: $name"; tail -n 40 "$logs/$name.log"; status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$logs/$name.log" | tail -n 2
  fi
done
exit $status
