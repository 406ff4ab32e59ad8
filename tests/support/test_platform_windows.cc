#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "support/test_platform.h"

namespace quillmar_test {

void SetEnvironment(const char* name, const char* value) { ::_putenv_s(name, value); }

bool CanUseTimeZone(const char* zone) {
  TIME_ZONE_INFORMATION info;
  return std::string(zone) == "UTC0" && GetTimeZoneInformation(&info) == TIME_ZONE_ID_UNKNOWN &&
         info.Bias == 0;
}

void SetTimeZone(const char* zone) {
  SetEnvironment("TZ", zone);
  ::_tzset();
}

const char* const kLibpffOpen = "libpff_file_open_wide";

std::string ProcessId() { return std::to_string(::GetCurrentProcessId()); }

}  // namespace quillmar_test
