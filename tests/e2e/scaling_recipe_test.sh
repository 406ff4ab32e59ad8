#!/usr/bin/env bash
# Runs the GNU parallel recipe of docs/SCALING.md as written, with the local
# machine as its only host, over three generated archives, two of them with
# the same file name.   usage: scaling_recipe_test.sh PST2TXT PSTGEN
set -euo pipefail
doc="$(cd "$(dirname "$0")/../.." && pwd)/docs/SCALING.md"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/share/dept" "$work/share/other" "$work/bin"
ln -s "$1" "$work/bin/pst2txt"
"$2" --quiet --messages 12 --attachment-every 3 --attachments-per-message 1 \
  --attachment-size 2k "$work/share/dept/alice.pst"
cp "$work/share/dept/alice.pst" "$work/share/other/alice.pst"
"$2" --quiet --messages 5 --seed 9 "$work/share/bob.ost"

recipe="$(awk '/^## GNU parallel/ {on = 1} on && /^```sh/ {inside = 1; next}
               inside && /^```/ {exit} inside' "$doc" |
          sed '1s|^export .*|export SHARE="$W/share" EXPORT="$W/export" HOSTS=2/:|')"
not_complete="$(W="$work" PATH="$work/bin:$PATH" bash -euo pipefail -c "$recipe")"

export_dir="$work/export"
[[ -z "$not_complete" ]] || { echo "not complete: $not_complete"; exit 1; }
[[ "$(awk 'NR > 1 && $7 == 0' "$export_dir/joblog" | wc -l)" == 3 ]] ||
  { cat "$export_dir/joblog"; exit 1; }
for archive in dept/alice.pst other/alice.pst bob.ost; do
  grep -q '"result": "complete"' "$export_dir/$archive.json" || { echo "$archive"; exit 1; }
done
[[ -f "$export_dir/other/alice.pst/alice_00000012/mail.ok" &&
   -f "$export_dir/bob.ost/bob_00000005/mail.ok" ]] || { ls -R "$export_dir"; exit 1; }
echo "scaling recipe ok"
