// The library opens an archive by its wide name on Windows.
#include <libpff.h>

#include "support/libpff_wrap.h"

WRAP(int, libpff_file_open_wide, (libpff_file_t * f, const wchar_t* n, int a, libpff_error_t** e),
     (f, n, a, e), (nullptr, n, a, e), libpff_faults::kNoObject)
