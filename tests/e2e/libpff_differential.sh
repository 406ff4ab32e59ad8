#!/usr/bin/env bash
# The product on our libpff build exports exactly what the same code on the
# system's libpff exports: tree and console, byte for byte, on the real
# archives given and on generated ones (interleaved and grouped message
# identifiers, nested folders, attachments of 0 bytes to 6 MiB), a copy of
# one with a damaged data block (libpff notes the checksum mismatch and
# reads on, on both; only ours counts it, and the product names it in lines
# of its own, which must be there and are left out of the comparison) and
# one cut in half (read errors, on both).
# usage: libpff_differential.sh PST2TXT PATCHED_LIBRARY SYSTEM_LIBRARY PSTGEN ARCHIVE...
set -euo pipefail
host=$1 patched=$2 system=$3 pstgen=$4
shift 4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$pstgen" --quiet --messages 3000 --folders 12 "$work/interleaved.pst"
"$pstgen" --quiet --messages 2000 --folders 12 --group-by-folder "$work/grouped.pst"
"$pstgen" --quiet --messages 40 --attachments-per-message 3 --attachment-size-min 0 \
  --attachment-size-max 6M "$work/attachments.pst"
cp "$work/attachments.pst" "$work/damaged.pst"
printf '\377%.0s' {1..64} | dd of="$work/damaged.pst" seek=$(($(stat -c %s "$work/damaged.pst") / 2)) \
  bs=1 conv=notrunc status=none
head -c $(($(stat -c %s "$work/interleaved.pst") / 2)) "$work/interleaved.pst" >"$work/truncated.pst"
failures=0
for archive in "$@" "$work"/*.pst; do
  for library in patched system; do
    "$host" --library "${!library}" "$archive" "$work/$library" >"$work/$library.out" 2>&1 &&
      echo "exit 0" >>"$work/$library.out" || echo "exit $?" >>"$work/$library.out"
    sed -i "s|$work/$library|OUT|g" "$work/$library.out"
  done
  if [[ $archive == */damaged.pst ]] && ! grep -q '^Bloc endommage ' "$work/patched.out"; then
    echo "UNSEEN: the damaged block of $(basename "$archive")" && failures=$((failures + 1))
  fi
  sed -i '/^Bloc endommage /d' "$work/patched.out"
  if diff -r "$work/patched" "$work/system" >/dev/null && cmp -s "$work/patched.out" "$work/system.out"; then
    echo "same: $(basename "$archive"): $(grep -c '^MAIL' "$work/patched.out") messages, $(tail -n 2 "$work/patched.out" | tr '\n' ' ')"
  else
    echo "DIFFERENT: $(basename "$archive")" && failures=$((failures + 1))
  fi
  rm -rf "$work/patched" "$work/system"
done
exit $((failures > 0))
