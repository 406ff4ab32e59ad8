#!/usr/bin/env bash
# Cross-builds QuillmarPST.dll, pst2txt.exe, pstgen.exe and the test
# programs for 64-bit Windows with mingw-w64 (Debian's packages), into
# build/windows or the directory given. libpff is built for that host with
# our patches and kept in the cache like the Linux one.
#   scripts/build-windows.sh [BUILD_DIR] [CMAKE_OPTION...]
# Run the tests under wine afterwards with: ctest --test-dir BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
archives=$(./scripts/fetch-archives.sh)
libpff_source=$(./scripts/fetch-libpff-source.sh)
dir=${1:-build/windows}
shift || true
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DQUILLMAR_ARCHIVE_CACHE=$archives" \
  "-DQUILLMAR_LIBPFF_SOURCE=$libpff_source" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
