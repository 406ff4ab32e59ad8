#!/usr/bin/env bash
# Fetches the real archives that the end-to-end tests and the default run
# use: the test data of the npm package pst-extractor, at a pinned version,
# checked against pinned SHA-256 sums and cached outside the source tree.
# Prints the directory that holds enron.pst and the two .ost files.
set -euo pipefail

version=1.12.0
tarball_sha256=c4c9eb9e75d09171452a4706df7d0e0e49606c1ca04aa81f30417dd385ad0e30
cache="${QUILLMAR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmarpst}"
dest="$cache/pst-extractor-$version"
data="$dest/package/example/testdata"

declare -A file_sha256=(
  [enron.pst]=6152489de3472be6f1f840935d34b6dbf5f62b025dd015929ea9cf66eb5a5b46
  [pstextractortest@outlook.com.ost]=daacd8d441428634e103b7c1e37fe1e5909256cc917551667049b5e84dfcf5f0
  [pstextractortestpdf@outlook.com.ost]=c914f1f9eea55da0eb3884d063acf18a109fcb34cdd7dda623770f117ff63918
)

verify() {
  local name
  for name in "${!file_sha256[@]}"; do
    [[ -f "$data/$name" ]] || return 1
    echo "${file_sha256[$name]}  $data/$name" | sha256sum --quiet -c - >/dev/null 2>&1 || return 1
  done
}

if ! verify; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  if ! (cd "$work" && npm pack --silent "pst-extractor@$version" >/dev/null 2>"$work/npm.log"); then
    {
      echo "fetch-archives: npm could not download pst-extractor@$version (no network or no npm?):"
      sed 's/^/  /' "$work/npm.log"
      echo "  Put enron.pst, pstextractortest@outlook.com.ost and"
      echo "  pstextractortestpdf@outlook.com.ost (from that package's example/testdata)"
      echo "  in $data; they are checked against pinned SHA-256 sums."
      echo "  The main job (./scripts/run.sh) does not need them."
    } >&2
    exit 1
  fi
  if ! echo "$tarball_sha256  $work/pst-extractor-$version.tgz" | sha256sum --quiet -c - >/dev/null 2>&1; then
    echo "fetch-archives: pst-extractor-$version.tgz does not match its pinned SHA-256 sum" >&2
    exit 1
  fi
  rm -rf "$dest"
  mkdir -p "$dest"
  tar -xzf "$work/pst-extractor-$version.tgz" -C "$dest" package/example/testdata
  verify || { echo "fetch-archives: checksum mismatch in $data" >&2; exit 1; }
fi
echo "$data"
