# Every dependency is a Debian package installed by setup.sh; nothing is vendored.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(Freetype REQUIRED)

pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(LUA51 REQUIRED IMPORTED_TARGET lua5.1-c++)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
pkg_check_modules(UNIBREAK REQUIRED IMPORTED_TARGET libunibreak)
pkg_check_modules(GL REQUIRED IMPORTED_TARGET gl)
pkg_check_modules(EGL REQUIRED IMPORTED_TARGET egl)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(ISAL REQUIRED IMPORTED_TARGET libisal)

# Debian builds TinyXML 1 with STL support; our side must agree or the class layouts differ.
pkg_check_modules(TINYXML REQUIRED IMPORTED_TARGET tinyxml)
add_library(quill_tinyxml INTERFACE)
target_link_libraries(quill_tinyxml INTERFACE PkgConfig::TINYXML)
target_compile_definitions(quill_tinyxml INTERFACE TIXML_USE_STL)

if(QUILL_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
