/* A Windows host as a user's program would be: loads QuillmarPST.dll by
 * name with LoadLibraryW, finds the two functions with GetProcAddress and
 * exports one archive with wide paths.
 *   windows_host.exe DLL ARCHIVE OUTPUT_DIR
 * Exit status: 0 when the export returned a count (printed on standard
 * error as "result N"), 1 on a negative code, 2 when the DLL does not load. */
#include <stdio.h>
#include <windows.h>

#include "quillmar_pst.h"

typedef int32_t(__cdecl* export_fn)(const wchar_t*, const wchar_t*);
typedef const char*(__cdecl* version_fn)(void);

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    fputs("usage: windows_host DLL ARCHIVE OUTPUT_DIR\n", stderr);
    return 2;
  }
  HMODULE library = LoadLibraryW(argv[1]);
  if (library == NULL) {
    fprintf(stderr, "LoadLibraryW failed: %lu\n", GetLastError());
    return 2;
  }
  export_fn export_archive = (export_fn)(void*)GetProcAddress(library, "pst_export_to_txt_w");
  version_fn version = (version_fn)(void*)GetProcAddress(library, "pst_reader_version");
  if (export_archive == NULL || version == NULL) {
    fputs("an entry point is missing\n", stderr);
    return 2;
  }
  const int32_t result = export_archive(argv[2], argv[3]);
  fflush(stdout);
  fprintf(stderr, "result %ld %s\n", (long)result, version());
  FreeLibrary(library);
  return result < 0 ? 1 : 0;
}
