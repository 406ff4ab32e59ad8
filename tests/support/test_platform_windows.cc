#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "support/test_platform.h"

namespace quillmar_test {

void SetEnvironment(const char* name, const char* value) { ::_putenv_s(name, value); }

void SetTimeZone(const char* zone) {
  SetEnvironment("TZ", zone);
  ::_tzset();
}

std::string ProcessId() { return std::to_string(::GetCurrentProcessId()); }

}  // namespace quillmar_test
