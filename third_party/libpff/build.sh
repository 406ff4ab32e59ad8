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
#   LIBPFF_HOST           a cross-compiling host triplet (x86_64-w64-mingw32
#                         for 64-bit Windows); unset builds for this machine
#   QUILLMAR_CACHE        where finished builds are kept, keyed by everything
#                         that goes into them (default ~/.cache/quillmarpst)
set -euo pipefail

cache=$1 build=$2
shift 2
src="$build/libpff-20180714"

# A build is reused when its inputs are the same: this script, the sources,
# the patches, the compiler (by its version text) and the flags.
compiler=${CC:-cc}
[[ -z ${LIBPFF_HOST:-} || -n ${CC:-} ]] || compiler=$LIBPFF_HOST-gcc
key=$( { cat "$0" "$cache/libpff_20180714.orig.tar.gz" "$cache/libpff_20180714-3.debian.tar.xz" "$@"
         "$compiler" --version; echo "${LIBPFF_EXTRA_CFLAGS:-}|${LIBPFF_HOST:-}"; } |
       sha256sum | cut -c1-16)
kept="${QUILLMAR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmarpst}/libpff-builds/$key"
if [[ -f $kept/libpff_patched.o ]]; then
  mkdir -p "$build"
  rm -rf "$build/include"
  cp -r "$kept/include" "$build/include"
  cp "$kept/libpff_patched.o" "$build/libpff_patched.o.part"
  mv "$build/libpff_patched.o.part" "$build/libpff_patched.o"
  exit 0
fi
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
host=${LIBPFF_HOST:-}
host_flags=() ld=ld unicode=""
if [[ -n $host ]]; then
  host_flags=(--host="$host")
  ld="$host-ld"
  export CC=${CC:-$host-gcc}
fi
if [[ $host == *mingw* ]]; then
  # mingw's headers are lower case; libcthreads names a few as Windows SDKs do.
  sed -i -E 's/#include <(Synchapi|Processthreadsapi|Threadpoolapiset)\.h>/#include <\L\1.h>/' \
    libcthreads/*.[ch]
  # libpff is linked into a DLL whose DllMain is the product's own.
  sed -i -E 's|^#define HAVE_DLLMAIN[[:space:]]+1|/* no DllMain: linked into the product */|' \
    common/config_winapi.h
  # msvcrt's _vsnwprintf reads %s as a wide string, and libcerror's
  # messages pass narrow ones: every error text came out empty. The C99
  # vsnwprintf of mingw reads %s as narrow, as elsewhere.
  sed -i 's/_vsnwprintf( string, size, format, __VA_ARGS__ )/vsnwprintf( string, size, format, __VA_ARGS__ )/' \
    common/wide_string.h
  # Wide file names throughout: without UNICODE libbfio keeps names in the
  # ANSI code page and cannot open a name outside it.
  unicode="-DUNICODE -D_UNICODE"
fi
# -fno-optimize-strlen: libyal allocates each structure with malloc and then
# clears it, which gcc otherwise merges into calloc; glibc's calloc skips the
# per-thread cache and costs several times a cached malloc (libpff makes
# about 290 such allocations per message). clang has no such flag and
# rejects it.
cflags="-O2 -g -fvisibility=hidden -fno-semantic-interposition"
if echo 'int x;' | "${CC:-cc}" -fno-optimize-strlen -x c -c -o /dev/null - 2>/dev/null; then
  cflags+=" -fno-optimize-strlen"
fi
./configure --quiet "${host_flags[@]}" --disable-shared --enable-static --with-pic --disable-nls \
  --without-libiconv-prefix --without-libintl-prefix "${bundled[@]}" \
  CFLAGS="$cflags $unicode ${LIBPFF_EXTRA_CFLAGS:-}" \
  LDFLAGS="${LIBPFF_EXTRA_CFLAGS:-}" \
  >"$build/configure.log" 2>&1
# The library and what it bundles, in the package's own order; no tools.
for dir in include common "${libraries[@]}" libpff; do
  make -s -j "$(nproc)" -C "$dir" >>"$build/make.log" 2>&1 || { tail -n 30 "$build/make.log"; exit 1; }
done
# One object: calls inside libpff stay inside it, so that a test binary's
# --wrap of libpff functions sees only the calls made by our code.
$ld -r -o "$build/libpff_patched.o" --whole-archive libpff/.libs/libpff.a
rm -rf "$build/include"
cp -r include "$build/include"

mkdir -p "$kept.part.$$"
cp -r "$build/include" "$build/libpff_patched.o" "$kept.part.$$/"
rm -rf "$kept" && mv "$kept.part.$$" "$kept" 2>/dev/null || rm -rf "$kept.part.$$"
