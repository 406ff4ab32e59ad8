#!/usr/bin/env bash
# Main job: builds the library and the pst2txt host, then exports an archive.
#   ./scripts/run.sh                      exports the default archive (enron.pst
#                                         of the pst-extractor test data) into
#                                         out/enron, replacing an earlier run
#   ./scripts/run.sh ARCHIVE [OUTPUT_DIR] exports ARCHIVE (default OUTPUT_DIR:
#                                         out/<archive stem>); pst2txt refuses
#                                         a non-empty OUTPUT_DIR
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

./scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target QuillmarPST pst2txt >/dev/null

if (($# == 0)); then
  archive="$(./scripts/fetch-archives.sh)/enron.pst"
  output="$root/out/enron"
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
