#!/usr/bin/env bash
# Builds the packages with cpack and prints their paths:
#   build/pkg-linux/packages/quillmarpst_<version>_amd64.deb   (Debian, /usr)
#   build/pkg-windows/packages/QuillmarPST-<version>-win64.zip (mingw-w64 cross-build)
# Release builds (RelWithDebInfo, stripped in the packages), without tests.
#   scripts/package.sh [linux|windows|all] [--check]
# --check then installs the .deb in a fresh bookworm chroot and exports the
# demo archive with it (tests/e2e/deb_install_check.sh; root, a few minutes
# the first time).
set -euo pipefail
cd "$(dirname "$0")/.."

which=all
check=0
for arg in "$@"; do
  case $arg in
    linux | windows | all) which=$arg ;;
    --check) check=1 ;;
    *) echo "usage: $0 [linux|windows|all] [--check]" >&2; exit 2 ;;
  esac
done

./scripts/install-deps.sh
libpff_source=$(./scripts/fetch-libpff-source.sh)
jobs=$(nproc)
made=()

# One build tree per platform; cpack leaves its package in BUILD_DIR/packages.
# Only what the install() rules install is built (not the benchmarks), and
# cpack's install step builds nothing more.
package() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAR_BUILD_TESTS=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "-DQUILLMAR_LIBPFF_SOURCE=$libpff_source" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target QuillmarPST pst2txt pstgen >/dev/null
  rm -f "$dir"/packages/*.deb "$dir"/packages/*.zip
  (cd "$dir" && cpack >cpack.log 2>&1) || { cat "$dir/cpack.log" >&2; exit 1; }
  made+=("$dir"/packages/*.deb "$dir"/packages/*.zip)
}

shopt -s nullglob
if [[ $which == linux || $which == all ]]; then
  # Prefix /usr: GNUInstallDirs then gives Debian's multiarch libdir, which
  # the installed pst2txt looks in.
  package build/pkg-linux -DCMAKE_INSTALL_PREFIX=/usr
fi
if [[ $which == windows || $which == all ]]; then
  package build/pkg-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
fi

for file in "${made[@]}"; do
  echo "$(pwd)/$file"
done
if ((check)) && [[ $which != windows ]]; then
  status=0
  tests/e2e/deb_install_check.sh build/pkg-linux/packages/quillmarpst_*_amd64.deb || status=$?
  ((status == 0 || status == 77)) || exit "$status"  # 77: skipped, and it said why
fi
