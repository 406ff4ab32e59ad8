#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "support/test_platform.h"

namespace quillmar_test {

void SetEnvironment(const char* name, const char* value) { ::setenv(name, value, 1); }

bool CanUseTimeZone(const char*) { return true; }

void SetTimeZone(const char* zone) {
  SetEnvironment("TZ", zone);
  ::tzset();
}

const char* const kLibpffOpen = "libpff_file_open";

std::string ProcessId() { return std::to_string(::getpid()); }

}  // namespace quillmar_test
