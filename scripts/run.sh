#!/usr/bin/env bash
# Main job: builds the library and the pst2txt host, then exports an archive.
#   ./scripts/run.sh                      writes a demo archive with pstgen
#                                         (out/demo.pst: 300 messages in nested
#                                         folders, attachments, recipients,
#                                         transport headers, non-ASCII text;
#                                         the same bytes every time, no network
#                                         needed) and exports it into out/demo,
#                                         replacing an earlier run
#   ./scripts/run.sh ARCHIVE [OUTPUT_DIR] exports ARCHIVE (default OUTPUT_DIR:
#                                         out/<archive stem>); pst2txt refuses
#                                         a non-empty OUTPUT_DIR
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

./scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target QuillmarPST pst2txt pstgen >/dev/null

if (($# == 0)); then
  archive="$root/out/demo.pst"
  output="$root/out/demo"
  mkdir -p "$root/out"
  ./build/release/tools/pstgen/pstgen --quiet --messages 300 --folders 8 \
    --attachments-per-message 2 --attachment-every 4 --attachment-size-min 1k \
    --attachment-size-max 64k --max-recipients 5 --seed 2026 "$archive"
  rm -rf "$output"
else
  archive="$1"
  stem="$(basename "$archive")"
  output="${2:-$root/out/${stem%.*}}"
fi

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
./build/release/pst2txt "$archive" "$output" >"$log" || status=$?
grep -v '^MAIL ' "$log" || true
if ((status != 0)); then
  echo "export failed (exit $status)" >&2
  exit "$status"
fi
echo "$(grep -c '^MAIL ' "$log") message directories written to $output"
