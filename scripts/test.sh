#!/usr/bin/env bash
# Runs every test twice, on libpff built with our patches (the product's
# default): in a normal build, and in an AddressSanitizer +
# UndefinedBehaviorSanitizer build where libpff is instrumented too. Then a
# ThreadSanitizer build (libpff instrumented as well) exports a generated
# archive with several walkers and with one, and the two outputs must be the
# same. The system's libpff is built against only for the differential test
# (tests/e2e). Then the Windows build runs its tests under wine and its DLL
# must write what the Linux library writes. Last, two minutes of fuzzing
# (scripts/fuzz.sh) must build and find nothing. Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
archives=$(./scripts/fetch-archives.sh)
libpff_source=$(./scripts/fetch-libpff-source.sh)

jobs=$(nproc)
status=0
for variant in release asan; do
  dir="build/$variant"
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAR_BUILD_TESTS=ON "-DQUILLMAR_ARCHIVE_CACHE=$archives"
         "-DQUILLMAR_LIBPFF_SOURCE=$libpff_source")
  if [[ $variant == asan ]]; then
    # QUILLMAR_SYSTEM_LIBPFF=OFF explicitly: a build directory configured
    # earlier with it ON keeps it in its cache otherwise.
    flags=(-DCMAKE_BUILD_TYPE=Debug -DQUILLMAR_BUILD_TESTS=ON -DQUILLMAR_SANITIZE=ON -DQUILLMAR_SYSTEM_LIBPFF=OFF
           "-DQUILLMAR_ARCHIVE_CACHE=$archives" "-DQUILLMAR_LIBPFF_SOURCE=$libpff_source")
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
# Several walkers under ThreadSanitizer, against one.
dir=build/tsan
echo "== tsan: build"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAR_SANITIZE_THREAD=ON \
  -DQUILLMAR_SYSTEM_LIBPFF=OFF "-DQUILLMAR_LIBPFF_SOURCE=$libpff_source" -DQUILLMAR_BUILD_TESTS=OFF >/dev/null
if cmake --build "$dir" -j "$jobs" --target pst2txt pstgen >"$dir/build.log" 2>&1; then
  echo "== tsan: parallel export"
  rm -rf "$dir/run" && mkdir -p "$dir/run"
  # Attachments up to 100 KiB: most span several blocks (data arrays).
  "$dir/tools/pstgen/pstgen" --messages 600 --folders 6 --attachments-per-message 2 \
    --attachment-every 3 --attachment-size-min 1 --attachment-size-max 100k --seed 11 \
    "$dir/run/walkers.pst" >/dev/null
  for walkers in 1 3; do
    (cd "$dir/run" && QUILLMAR_THREADS=$walkers TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
      ../pst2txt walkers.pst "out$walkers" >"out$walkers.log" 2>&1) || {
      echo "== tsan: $walkers walkers failed" >&2; tail -n 40 "$dir/run/out$walkers.log"; status=1; }
    sed -i "s/out$walkers/OUT/g" "$dir/run/out$walkers.log"
  done
  if ! diff -r "$dir/run/out1" "$dir/run/out3" >/dev/null ||
     ! cmp -s "$dir/run/out1.log" "$dir/run/out3.log"; then
    echo "== tsan: 3 walkers wrote other than 1" >&2
    status=1
  fi
else
  tail -n 60 "$dir/build.log"
  echo "== tsan: build failed" >&2
  status=1
fi
# The Windows build (mingw-w64), its tests under wine, and the same exports
# by the DLL and by the Linux library, compared byte for byte.
dir=build/windows
echo "== windows: build"
if ./scripts/build-windows.sh "$dir" >"build/windows-build.log" 2>&1; then
  grep -E "warning:" build/windows-build.log || true
  echo "== windows: tests under wine"
  if ! ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 900 2>&1 | tail -n 40; then
    status=1
  fi
  echo "== windows: the DLL against the Linux library"
  if ! python3 tests/e2e/windows_parity_check.py build/release "$dir" "$archives"; then
    status=1
  fi
else
  tail -n 60 build/windows-build.log
  echo "== windows: build failed" >&2
  status=1
fi
# Two minutes of fuzzing (docs/FUZZING.md): the target must build and the
# run must end without a finding.
# A fixed seed: on a fresh clone every run tries the same sequence of
# mutations (as far as two minutes reach), not a new one each time.
if ! ./scripts/fuzz.sh 120 -seed=1; then
  echo "== fuzz: smoke run failed" >&2
  status=1
fi
exit $status
