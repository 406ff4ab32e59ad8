// The one way a failed libpff call is reported.
#ifndef QUILLMAR_RUN_LIBPFF_REPORT_H_
#define QUILLMAR_RUN_LIBPFF_REPORT_H_

#include <libpff.h>

#include "run/console.h"

namespace quillmar {

// Writes message and "\n" on console's error stream, then the pending libpff
// error (if any) as libpff_error_fprint writes it, and frees it; the slot is
// null afterwards.
void report_libpff_error(Console& console, const char* message, libpff_error_t** error);

}  // namespace quillmar

#endif  // QUILLMAR_RUN_LIBPFF_REPORT_H_
