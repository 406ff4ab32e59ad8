/* Stands in for QuillmarPST.dll and misbehaves on archives named for it: it
 * writes through a null pointer (exception 0xC0000005) on a path containing
 * "crash", never returns on one containing "hang", and passes every other
 * call to the DLL that %QUILLMAR_REAL_LIBRARY% names. */
#include <windows.h>
#include <stdint.h>
#include <wchar.h>

typedef int32_t (*export_fn)(const wchar_t*, const wchar_t*);
typedef const char* (*version_fn)(void);
typedef void (*any_fn)(void);

static FARPROC real(const char* name) {
  static wchar_t path[32768];
  if (GetEnvironmentVariableW(L"QUILLMAR_REAL_LIBRARY", path, 32768) == 0) return NULL;
  HMODULE library = LoadLibraryW(path);
  return library ? GetProcAddress(library, name) : NULL;
}

__declspec(dllexport) int32_t pst_export_to_txt_w(const wchar_t* archive, const wchar_t* output) {
  /* Read through volatile, so that the compiler cannot see the null and
   * make the store a trap of another exception code. */
  static int* volatile nowhere = NULL;
  if (wcsstr(archive, L"crash")) *nowhere = 1;
  while (wcsstr(archive, L"hang")) Sleep(INFINITE);
  return ((export_fn)(any_fn)real("pst_export_to_txt_w"))(archive, output);
}

__declspec(dllexport) const char* pst_reader_version(void) {
  return ((version_fn)(any_fn)real("pst_reader_version"))();
}
