/* Stands in for QuillmarPST.so and misbehaves on archives named for it: it
 * aborts on a path containing "crash", never returns on one containing
 * "hang", and passes every other call to $QUILLMAR_REAL_LIBRARY. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>
#include <wchar.h>

static void* real(const char* name) {
  void* library = dlopen(getenv("QUILLMAR_REAL_LIBRARY"), RTLD_NOW | RTLD_LOCAL);
  return library ? dlsym(library, name) : NULL;
}

int32_t pst_export_to_txt_w(const wchar_t* archive, const wchar_t* output) {
  if (wcsstr(archive, L"crash")) abort();
  while (wcsstr(archive, L"hang")) pause();
  int32_t (*forward)(const wchar_t*, const wchar_t*);
  *(void**)&forward = real("pst_export_to_txt_w");
  return forward(archive, output);
}

const char* pst_reader_version(void) {
  const char* (*forward)(void);
  *(void**)&forward = real("pst_reader_version");
  return forward();
}
