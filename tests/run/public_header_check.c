/* Compiled as C99 with -Werror: the public header is plain C. */
#include "quillmar_pst.h"

typedef int32_t (*export_fn)(const wchar_t*, const wchar_t*);
typedef const char* (*version_fn)(void);

static const export_fn kExport = pst_export_to_txt_w;
static const version_fn kVersion = pst_reader_version;

int quillmar_public_header_check(void) {
  return kExport != 0 && kVersion != 0 && PST_EXPORT_ERR_NULL_ARGUMENT == -10;
}
