#!/usr/bin/env bash
# Fuzzes the whole export with libFuzzer for SECONDS (default 60): builds
# tools/fuzz/export_fuzzer in build/fuzz (clang, ASan+UBSan, our libpff
# instrumented alike), writes the seed archives, then runs one fuzzing
# process on build/fuzz/corpus, which is kept between runs. Findings
# (crash-*, leak-*, timeout-*, oom-*) are kept in build/fuzz/findings. Prints
# the executions, exec/s and coverage at the end; exits 1 when the target does
# not build or the run met a finding.
#
# usage: scripts/fuzz.sh [SECONDS] [LIBFUZZER_OPTION...]
# environment:
#   QUILLMAR_FUZZ_SEED_MAX  the real archives of scripts/fetch-archives.sh are
#                           seeds when, without their trailing zero bytes,
#                           they are no larger than this (default 1048576;
#                           none of them is: each costs 1-3 s per execution);
#                           above 1 MiB it is libFuzzer's -max_len too
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
if (($# > 0)); then shift; fi
dir=build/fuzz
seeds=$dir/seeds
corpus=$dir/corpus
findings=$dir/findings

./scripts/install-deps.sh
libpff_source=$(./scripts/fetch-libpff-source.sh)
echo "== fuzz: build ($dir)"
mkdir -p "$dir"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAR_FUZZ=ON -DQUILLMAR_BUILD_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "-DQUILLMAR_LIBPFF_SOURCE=$libpff_source" \
  >"$dir/configure.log" 2>&1 || { tail -n 30 "$dir/configure.log"; exit 1; }
if ! cmake --build "$dir" -j 2 --target export_fuzzer pstgen >"$dir/build.log" 2>&1; then
  tail -n 40 "$dir/build.log"
  echo "== fuzz: build failed" >&2
  exit 1
fi

# Writes SOURCE without its trailing zero bytes (rounded up to 512) to
# TARGET, unless that is more than LIMIT bytes.
trim() {
  python3 - "$@" <<'EOF'
import sys
source, target, limit = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(source, 'rb').read()
end = -(-len(data.rstrip(b'\0')) // 512) * 512
if end <= limit:
    open(target, 'wb').write(data[:end])
EOF
}

# Seeds: small generated archives of every shape pstgen writes, their
# allocation-map padding cut off (libpff reads only what the B-trees reach).
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$findings"
small=(--quiet --body-size 300 --header-size-min 64 --header-size-max 200 --max-recipients 2)
while read -r name options; do
  # shellcheck disable=SC2086  # options are words
  "$dir/tools/pstgen/pstgen" "${small[@]}" $options "$seeds/$name.full"
  trim "$seeds/$name.full" "$seeds/$name.pst" $((1 << 30))
  rm "$seeds/$name.full"
done <<'EOF'
one-message        --messages 1 --folders 1
few-messages       --messages 4 --folders 2 --max-recipients 3
nested-folders     --messages 8 --folders 8 --seed 2
attachments        --messages 3 --folders 1 --attachments-per-message 2 --attachment-size 200
empty-attachments  --messages 2 --folders 1 --attachments-per-message 3 --attachment-size 0
large-attachment   --messages 1 --folders 1 --attachments-per-message 1 --attachment-size 20k
large-body         --messages 1 --folders 1 --body-size 9000
grouped-ids        --messages 6 --folders 3 --group-by-folder --seed 3
interleaved-ids    --messages 6 --folders 3 --seed 3
store-folder-id    --messages 2 --folders 2 --store-folder-identifier
many-recipients    --messages 2 --folders 1 --max-recipients 14
contents-subnode   --messages 60 --folders 1 --body-size 20 --seed 4
EOF
seed_max=${QUILLMAR_FUZZ_SEED_MAX:-1048576}
if archives=$(./scripts/fetch-archives.sh 2>/dev/null); then
  for archive in "$archives"/*.pst "$archives"/*.ost; do
    trim "$archive" "$seeds/$(basename "$archive")" "$seed_max"
  done
fi
echo "== fuzz: $(ls "$seeds" | wc -l) seeds ($(du -sk "$seeds" | cut -f1) KiB), $(ls "$corpus" | wc -l) corpus inputs"

options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1
         -close_fd_mask=2 "-artifact_prefix=$findings/")
# libFuzzer cuts its inputs to 1 MiB unless told otherwise.
((seed_max <= 1048576)) || options+=("-max_len=$seed_max")
# The fixed findings seed the search near the faults they showed.
regressions=()
[[ -d tests/fuzz/regressions ]] && regressions=(tests/fuzz/regressions)
log=$dir/fuzz.log
found_before=$(ls "$findings" | wc -l)
echo "== fuzz: $seconds s, log in $log"
started=$SECONDS
# A small quarantine: freed memory is reused sooner, far fewer page faults
# per execution; use after free is still caught within an export.
status=0
ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16} UBSAN_OPTIONS=print_stacktrace=1 \
  "$dir/tools/fuzz/export_fuzzer" "${options[@]}" "$@" "$corpus" "$seeds" "${regressions[@]}" \
  >"$log" 2>&1 || status=$?
elapsed=$((SECONDS - started))
for scratch in /dev/shm/quillmar-fuzz-* "${TMPDIR:-/tmp}"/quillmar-fuzz-*; do
  [[ -d $scratch ]] && ! kill -0 "${scratch##*-}" 2>/dev/null && rm -rf "$scratch"
done

# Coverage from libFuzzer's first and last status lines; executions from its
# final count, or the last status line when it stopped on a finding.
status_lines=$(grep -E '^#[0-9]+[[:space:]].*cov: ' "$log" || true)
field() { sed -n "s/.* $1: \\([0-9]*\\).*/\\1/p" <<<"$2"; }
first=$(head -n 1 <<<"$status_lines") last=$(tail -n 1 <<<"$status_lines")
executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
[[ -n $executions ]] || executions=$(sed -n 's/^#\([0-9]*\).*/\1/p' <<<"$last")
echo "== fuzz: ${executions:-0} executions in $elapsed s ($(( ${executions:-0} / (elapsed > 0 ? elapsed : 1) )) exec/s);" \
     "cov $(field cov "$first") -> $(field cov "$last"), ft $(field ft "$first") -> $(field ft "$last");" \
     "corpus $(ls "$corpus" | wc -l) inputs"
found=$(($(ls "$findings" | wc -l) - found_before))
if ((found > 0 || status != 0)); then
  grep -E 'ERROR: |runtime error|SUMMARY: |Test unit written' "$log" | head -n 20 >&2 || true
  echo "== fuzz: $found new finding(s) in $findings (libFuzzer exit status $status)" >&2
  exit 1
fi
echo "== fuzz: no findings"
