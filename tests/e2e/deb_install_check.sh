#!/usr/bin/env bash
# The Debian package on a fresh bookworm: a minimal bookworm root made by
# debootstrap (kept as a tarball in the cache, so a rerun only unpacks it),
# the package installed there with apt-get, which must bring every
# dependency it names; then the installed pstgen writes the demo archive and
# the installed pst2txt must export its 300 messages.
#   usage: deb_install_check.sh quillmarpst_VERSION_amd64.deb
# Needs root and apt's mirror; without them it says why and exits 77
# (skipped). QUILLMAR_DEBIAN_MIRROR overrides debootstrap's default mirror.
set -euo pipefail

skip() { echo "deb_install_check: skipped: $*" >&2; exit 77; }
(($# == 1)) && [[ -f $1 ]] || { echo "usage: $0 quillmarpst_VERSION_amd64.deb" >&2; exit 2; }
deb=$(realpath "$1")
[[ $(id -u) -eq 0 ]] || skip "chroot and debootstrap need root"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
if grep -q libpff <<<"$depends"; then
  echo "FAIL: the package depends on a libpff, though it links its own" >&2
  exit 1
fi

if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null ||
    skip "debootstrap is not installed and apt-get could not install it"
fi

cache=${QUILLMAR_CACHE:-$HOME/.cache/quillmarpst}
base=$cache/bookworm-minbase-amd64.tar.gz
work=$(mktemp -d)
root=$work/root
cleanup() {
  # Only what this script mounted, innermost first.
  for m in "$root/dev/pts" "$root/dev" "$root/sys" "$root/proc"; do
    if mountpoint -q "$m" 2>/dev/null; then umount -l "$m" || true; fi
  done
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

mkdir -p "$root" "$cache"
if [[ ! -s $base ]]; then
  echo "debootstrap: a minimal bookworm (a few minutes, once; then $base)"
  mirror=()
  [[ -n ${QUILLMAR_DEBIAN_MIRROR:-} ]] && mirror=("$QUILLMAR_DEBIAN_MIRROR")
  if ! debootstrap --variant=minbase --arch=amd64 bookworm "$root" "${mirror[@]}" \
      >"$work/debootstrap.log" 2>&1; then
    tail -n 20 "$work/debootstrap.log" >&2
    skip "debootstrap failed (its last lines above)"
  fi
  tar -C "$root" -czf "$base.tmp" . && mv "$base.tmp" "$base"
else
  tar -C "$root" -xzf "$base"
fi

cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount -t proc proc "$root/proc" || skip "cannot mount /proc in the chroot"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts" 2>/dev/null || true
cp "$deb" "$root/tmp/"
name=$(basename "$deb")

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
                   LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

echo "--- apt-get install ./$name in a fresh bookworm"
in_root apt-get update -qq
in_root apt-get install -y --no-install-recommends "/tmp/$name" 2>&1 | grep -E '^(Setting up|Unpacking|The following NEW|  )' || true
in_root dpkg -s quillmarpst | grep -E '^(Status|Version):'

echo "--- the installed pstgen writes the demo archive, the installed pst2txt exports it"
in_root sh -c 'ls /usr/bin/pst2txt /usr/bin/pstgen /usr/lib/*/QuillmarPST.so /usr/lib/QuillmarPST.so 2>/dev/null || true'
in_root pstgen --quiet --messages 300 --folders 8 --attachments-per-message 2 \
  --attachment-every 4 --attachment-size-min 1k --attachment-size-max 64k \
  --max-recipients 5 --seed 2026 /tmp/demo.pst
status=0
# LD_DEBUG shows which QuillmarPST.so was loaded: the one pst2txt looks for
# in ../<libdir> from its own directory.
in_root env LD_DEBUG=files LD_DEBUG_OUTPUT=/tmp/ld-debug pst2txt /tmp/demo.pst /tmp/demo \
  >"$work/export.log" 2>&1 || status=$?
grep -v '^MAIL ' "$work/export.log" || true
if ((status != 0)); then
  echo "FAIL: the installed pst2txt exited with $status" >&2
  exit 1
fi
if ! grep -qx 'Termine. Nombre de mails exportes: 300' "$work/export.log"; then
  echo "FAIL: no 'Termine. Nombre de mails exportes: 300' line" >&2
  exit 1
fi
loaded=$(grep -ho 'file=[^ ]*QuillmarPST.so' "$root"/tmp/ld-debug.* | sort -u)
echo "loaded: ${loaded#file=}"
if [[ $loaded != file=/usr/bin/../lib/*/QuillmarPST.so && $loaded != file=/usr/bin/../lib/QuillmarPST.so ]]; then
  echo "FAIL: pst2txt did not load the library from ../lib beside it" >&2
  exit 1
fi
echo "deb install ok: $(find "$root/tmp/demo" -name mail.ok | wc -l) message directories"
