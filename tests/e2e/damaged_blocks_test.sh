#!/usr/bin/env bash
# An archive with one flipped byte in a block of attachment data, one in a
# message's property block, one in a folder's contents table and one in a
# leaf page of the block index is
# exported with one walker and with three: each damaged message, attachment
# and folder is named in one line, the same lines for the same messages
# either way, every message is still written, and the check calls the
# export damaged (exit 4). The same archive undamaged: no such line,
# complete, exit 0.
# usage: damaged_blocks_test.sh PST2TXT PSTGEN DAMAGE_ARCHIVE_SCRIPT
set -euo pipefail
host=$1 pstgen=$2 damage=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$pstgen" --quiet --messages 30 --folders 3 --attachments-per-message 1 --attachment-every 7 \
  --attachment-size 20000 --seed 5 good.pst
cp good.pst bad.pst
python3 "$damage" bad.pst --value-data --message-block --contents-table --index-leaf >/dev/null

# The index page locates blocks of one folder and of messages 7 (and its
# attachment) and 15 to 17; the contents table is Sent Items' (id 32930), the
# data block message 19's attachment's, the property block message 20's.
expected='Bloc endommage (index) dans le dossier id=290
Bloc endommage (index) dans OUT/bad_00000007/pj/invoice_22_1.png
Bloc endommage (index) dans OUT/bad_00000007
Bloc endommage (somme de controle) dans le dossier id=32930
Bloc endommage (index) dans OUT/bad_00000015
Bloc endommage (index) dans OUT/bad_00000016
Bloc endommage (index) dans OUT/bad_00000017
Bloc endommage (somme de controle) dans OUT/bad_00000019/pj/contract_29_1.xlsx
Bloc endommage (somme de controle) dans OUT/bad_00000020'
failures=0
for walkers in 1 3; do
  status=0
  QUILLMAR_THREADS=$walkers "$host" bad.pst "out$walkers" >"out$walkers.log" 2>&1 || status=$?
  sed -i "s|out$walkers|OUT|g" "out$walkers.log"
  lines=$(grep '^Bloc endommage ' "out$walkers.log" || true)
  verdict=$(grep '^pst2txt: ' "out$walkers.log" || true)
  if [[ $lines != "$expected" || $status != 4 ||
        $verdict != "pst2txt: damaged: 9 damaged, 30 written, 0 empty, 5 attachments" ]]; then
    echo "$walkers walkers: exit $status, damage lines:"; echo "$lines"; failures=$((failures + 1))
  fi
  [[ $(grep -c '^MAIL' "out$walkers.log") == 30 ]] || { echo "$walkers walkers: not 30 messages"; failures=$((failures + 1)); }
done
cmp -s out1.log out3.log && diff -r out1 out3 >/dev/null || { echo "3 walkers differ from 1"; failures=$((failures + 1)); }
status=0
"$host" good.pst good >good.log 2>&1 || status=$?
if grep -q '^Bloc endommage' good.log || [[ $status != 0 ]]; then
  echo "undamaged: exit $status"; cat good.log; failures=$((failures + 1))
fi
((failures == 0)) && echo "damaged blocks ok"
