# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The programs it builds run here under wine (scripts/build-windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLMAR_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLMAR_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMAR_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMAR_MINGW_HOST}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMAR_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test binaries run through wine; gtest_discover_tests and ctest use this.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine.sh)
# pkg-config sees the Windows sysroot only, not this machine's Linux packages.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${QUILLMAR_MINGW_HOST}/lib/pkgconfig)
