#!/usr/bin/env bash
# Runs every test twice: in a normal build, on libpff built with our patches
# (the product's default), and in an AddressSanitizer +
# UndefinedBehaviorSanitizer build on the system's libpff. Exits non-zero on
# any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
archives=$(./scripts/fetch-archives.sh)
libpff_source=$(./scripts/fetch-libpff-source.sh)

jobs=$(nproc)
status=0
for variant in release asan; do
  dir="build/$variant"
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DQUILLMAR_ARCHIVE_CACHE=$archives"
         "-DQUILLMAR_LIBPFF_SOURCE=$libpff_source")
  if [[ $variant == asan ]]; then
    flags=(-DCMAKE_BUILD_TYPE=Debug -DQUILLMAR_SANITIZE=ON -DQUILLMAR_SYSTEM_LIBPFF=ON
           "-DQUILLMAR_ARCHIVE_CACHE=$archives")
  fi
  echo "== $variant: build"
  cmake -S . -B "$dir" "${flags[@]}" >/dev/null
  if ! cmake --build "$dir" -j "$jobs" >"$dir/build.log" 2>&1; then
    tail -n 60 "$dir/build.log"
    echo "== $variant: build failed" >&2
    status=1
    continue
  fi
  grep -E "warning:" "$dir/build.log" || true
  echo "== $variant: tests"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 900 2>&1 | tail -n 60; then
    status=1
  fi
done
exit $status
