#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking need.
# Does nothing when they are all present; otherwise runs apt-get (as root, or
# through sudo).
set -euo pipefail

packages=(
  build-essential cmake pkg-config patch zlib1g-dev xz-utils
  libpff-dev libbfio-dev
  libgtest-dev libgmock-dev
  pff-tools pst-utils
  nodejs npm
  time python3-pypff tzdata parallel
  clang libclang-rt-dev  # scripts/fuzz.sh: libFuzzer and the sanitizer runtimes
  # scripts/build-windows.sh: the Windows build and wine to run it
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    # nodejs/npm may come from elsewhere than Debian; a working npm is enough.
    if [[ "$p" == nodejs || "$p" == npm ]] && command -v npm >/dev/null 2>&1; then
      continue
    fi
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
