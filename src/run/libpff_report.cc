#include "run/libpff_report.h"

#include <cstdio>
#include <iostream>

#include "properties/libpff_handles.h"

namespace quillmar {

void report_libpff_error(const char* message, libpff_error_t** error) {
  // std::cerr is unbuffered and synchronised with stdio, so libpff's text,
  // written straight to stderr, follows this line in order.
  std::cerr << message << "\n";
  if (*error != nullptr) {
    std::cerr.flush();
    libpff_error_fprint(*error, stderr);
  }
  discard_error(error);
}

}  // namespace quillmar
