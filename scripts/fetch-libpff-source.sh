#!/usr/bin/env bash
# Fetches Debian's source package of libpff 20180714 (the library Debian's
# libpff-dev ships) through apt, with a private sources list and state
# folder so that the machine's apt set-up is left as it is; checks the files
# against pinned SHA-256 sums and caches them outside the source tree.
# Prints the directory that holds them.
set -euo pipefail

version=20180714-3
declare -A file_sha256=(
  [libpff_20180714.orig.tar.gz]=d9657aa592e2e155a5dbb49a019f99988e2347a8c7b939c21883e8be3003695b
  [libpff_20180714-3.debian.tar.xz]=57154647dab276be7b2a1c2f7a3d38fece061b7205d0e28e438e1abd6b57025d
)
cache="${QUILLMAR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmarpst}"
dest="$cache/libpff-source-$version"

verify() {
  local name
  for name in "${!file_sha256[@]}"; do
    echo "${file_sha256[$name]}  $dest/$name" | sha256sum --quiet -c - >/dev/null 2>&1 || return 1
  done
}

if ! verify; then
  apt_dir="$cache/apt"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$dest"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
       "http://deb.debian.org/debian bookworm main" >"$apt_dir/sources.list"
  apt=(apt-get -q -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
       -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir" -o APT::Sandbox::User=root)
  if ! "${apt[@]}" update >"$apt_dir/update.log" 2>&1 ||
     ! (cd "$dest" && "${apt[@]}" source --download-only "libpff=$version" >"$apt_dir/source.log" 2>&1); then
    echo "fetch-libpff-source: apt could not fetch Debian's source package libpff $version" \
         "(see $apt_dir/*.log). Put ${!file_sha256[*]} into $dest by hand, or configure" \
         "with -DQUILLMAR_SYSTEM_LIBPFF=ON to use the system's libpff." >&2
    exit 1
  fi
  verify || { echo "fetch-libpff-source: checksum mismatch in $dest" >&2; exit 1; }
fi
echo "$dest"
