#!/usr/bin/env bash
# Builds Debian's libpff 20180714 with our patches into one relocatable
# object, for linking into QuillmarPST.so (where the version script keeps
# every libpff symbol local) and into the test binaries.
#
# usage: build.sh SOURCE_CACHE BUILD_DIR PATCH...
#   SOURCE_CACHE  directory holding Debian's libpff_20180714.orig.tar.gz and
#                 libpff_20180714-3.debian.tar.xz (scripts/fetch-libpff-source.sh)
#   BUILD_DIR     where to build; receives libpff_patched.o and include/
#   PATCH...      our patches, applied in order after Debian's
# environment:
#   CC                    the C compiler (configure's default when unset)
#   LIBPFF_EXTRA_CFLAGS   added to the compile and link flags, e.g. sanitizers
set -euo pipefail

cache=$1 build=$2
shift 2
src="$build/libpff-20180714"
rm -rf "$src" "$build/debian"
mkdir -p "$build"
tar --no-same-owner -xzf "$cache/libpff_20180714.orig.tar.gz" -C "$build"
tar --no-same-owner -xJf "$cache/libpff_20180714-3.debian.tar.xz" -C "$build"
while read -r patch; do
  [[ -z $patch || $patch == \#* ]] || patch -s -d "$src" -p1 <"$build/debian/patches/$patch"
done <"$build/debian/patches/series"
for patch in "$@"; do patch -s -d "$src" -p1 <"$patch"; done

# Every libyal library from the package itself: the system's libbfio (and
# Debian's headers) must not be picked up.
libraries=(libcerror libcthreads libcdata libclocale libcnotify libcsplit libuna libcfile libcpath
           libbfio libfcache libfdata libfdatetime libfguid libfvalue libfwnt libfmapi)
bundled=("${libraries[@]/#/--with-}")
bundled=("${bundled[@]/%/=no}")
cd "$src"
# -fno-optimize-strlen: libyal allocates each structure with malloc and then
# clears it, which gcc otherwise merges into calloc; glibc's calloc skips the
# per-thread cache and costs several times a cached malloc (libpff makes
# about 290 such allocations per message). clang has no such flag and
# rejects it.
cflags="-O2 -g -fvisibility=hidden -fno-semantic-interposition"
if echo 'int x;' | "${CC:-cc}" -fno-optimize-strlen -x c -c -o /dev/null - 2>/dev/null; then
  cflags+=" -fno-optimize-strlen"
fi
./configure --quiet --disable-shared --enable-static --with-pic --disable-nls \
  --without-libiconv-prefix --without-libintl-prefix "${bundled[@]}" \
  CFLAGS="$cflags ${LIBPFF_EXTRA_CFLAGS:-}" \
  LDFLAGS="${LIBPFF_EXTRA_CFLAGS:-}" \
  >"$build/configure.log" 2>&1
# The library and what it bundles, in the package's own order; no tools.
for dir in include common "${libraries[@]}" libpff; do
  make -s -j "$(nproc)" -C "$dir" >>"$build/make.log" 2>&1 || { tail -n 30 "$build/make.log"; exit 1; }
done
# One object: calls inside libpff stay inside it, so that a test binary's
# --wrap of libpff functions sees only the calls made by our code.
ld -r -o "$build/libpff_patched.o" --whole-archive libpff/.libs/libpff.a
rm -rf "$build/include"
cp -r include "$build/include"
