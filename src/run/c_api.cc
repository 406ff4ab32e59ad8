// The two exported C functions. They convert arguments and call ordinary C++
// code; nothing else in the library is visible outside the shared object.
#include <exception>
#include <string>

#include "platform/platform.h"
#include "quillmar_pst.h"
#include "run/export_run.h"

namespace {

constexpr char kReaderVersion[] = "pst_reader_dll_1.0";

// The only place where exceptions are caught: every exception that ends a run
// becomes a result code and a line on standard error.
template <typename Fn>
int32_t run_guarded(Fn&& fn) noexcept {
  try {
    return fn();
  } catch (const std::exception& e) {
    try {
      quillmar::write_standard_error(std::string("Exception C++: ") + e.what() + "\n");
    } catch (...) {
    }
    return PST_EXPORT_ERR_STD_EXCEPTION;
  } catch (...) {
    try {
      quillmar::write_standard_error("Exception inconnue\n");
    } catch (...) {
    }
    return PST_EXPORT_ERR_UNKNOWN_EXCEPTION;
  }
}

}  // namespace

extern "C" {

int32_t pst_export_to_txt_w(const wchar_t* pst_path, const wchar_t* output_dir) {
  return run_guarded([&] { return quillmar::run_export(pst_path, output_dir); });
}

const char* pst_reader_version(void) { return kReaderVersion; }

}  // extern "C"
