#include "run/libpff_report.h"

#include <string>

#include "properties/libpff_handles.h"

namespace quillmar {

void report_libpff_error(Console& console, const char* message, libpff_error_t** error) {
  console.err(std::string(message) + "\n");
  console.libpff_error(*error);
  discard_error(error);
}

}  // namespace quillmar
