#!/usr/bin/env bash
# cmake --install into a temporary prefix, then two small hosts built only
# from the installed files, one through find_package(QuillmarPST), one
# through pkg-config, each export a generated archive; so does the
# installed pst2txt.   usage: install_check.sh BUILD_DIR PSTGEN
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$1" --prefix "$work/prefix" >/dev/null
"$2" --quiet --messages 20 "$work/mail.pst"
cat >"$work/host.c" <<'C'
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include "quillmar_pst.h"
int main(int argc, char** argv) {
  void* library = dlopen(QUILLMARPST_LIBRARY, RTLD_NOW);
  if (library == NULL || argc != 3) return 1;
  int32_t (*export_w)(const wchar_t*, const wchar_t*) = (int32_t (*)(const wchar_t*, const wchar_t*))dlsym(library, "pst_export_to_txt_w");
  wchar_t archive[1024], output[1024];
  mbstowcs(archive, argv[1], 1024);
  mbstowcs(output, argv[2], 1024);
  printf("exported %d\n", (int)export_w(archive, output));
  return 0;
}
C
printf 'cmake_minimum_required(VERSION 3.16)\nproject(host C)\nfind_package(QuillmarPST 1 REQUIRED)\nadd_executable(host host.c)\ntarget_link_libraries(host QuillmarPST::QuillmarPST)\n' >"$work/CMakeLists.txt"
cmake -S "$work" -B "$work/cmake-host" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-host" >/dev/null
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
cc $(pkg-config --cflags quillmarpst) "-DQUILLMARPST_LIBRARY=\"$(pkg-config --variable=library quillmarpst)\"" \
  "$work/host.c" -o "$work/pkg-config-host" -ldl
"$work/cmake-host/host" "$work/mail.pst" "$work/out1" | grep -qx "exported 20"
"$work/pkg-config-host" "$work/mail.pst" "$work/out2" | grep -qx "exported 20"
"$work/prefix/bin/pst2txt" "$work/mail.pst" "$work/out3" | grep -q "exportes: 20"
ls "$work/prefix/share/man/man1/pst2txt.1" "$work/prefix/share/man/man1/pstgen.1" >/dev/null
diff -r "$work/out1" "$work/out2" && diff -r "$work/out1" "$work/out3" && echo "install ok"
