// The one way a failed libpff call is reported.
#ifndef QUILLMAR_RUN_LIBPFF_REPORT_H_
#define QUILLMAR_RUN_LIBPFF_REPORT_H_

#include <libpff.h>

namespace quillmar {

// Writes message and "\n" on standard error, then the pending libpff error
// (if any) through libpff_error_fprint on stderr, and frees it; the slot is
// null afterwards.
void report_libpff_error(const char* message, libpff_error_t** error);

}  // namespace quillmar

#endif  // QUILLMAR_RUN_LIBPFF_REPORT_H_
