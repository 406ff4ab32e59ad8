// The two exported C functions. They convert arguments and call ordinary C++
// code; nothing else in the library is visible outside the shared object.
#include "quillmar_pst.h"

namespace {

constexpr char kReaderVersion[] = "pst_reader_dll_1.0";

}  // namespace

extern "C" {

const char* pst_reader_version(void) { return kReaderVersion; }

}  // extern "C"
