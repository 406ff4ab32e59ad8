// What the tests need from the operating system beyond standard C++, one
// implementation per platform (test_platform_posix.cc, _windows.cc).
#ifndef QUILLMAR_TESTS_SUPPORT_TEST_PLATFORM_H_
#define QUILLMAR_TESTS_SUPPORT_TEST_PLATFORM_H_

#include <string>

namespace quillmar_test {

// Sets an environment variable of this process, as std::getenv reads it.
void SetEnvironment(const char* name, const char* value);

// Whether local times can be had in `zone` (a POSIX TZ value) by setting TZ:
// always on POSIX; on Windows, where a process has the system's zone from
// its start (under wine, from TZ), only for "UTC0" in a process started in
// UTC.
bool CanUseTimeZone(const char* zone);

// Sets TZ and makes the C library read it again.
void SetTimeZone(const char* zone);

// The libpff function the library opens an archive with on this platform:
// by its UTF-8 name on POSIX, by its wide name on Windows.
extern const char* const kLibpffOpen;

// This process's id, which keeps apart the scratch names of test processes
// running at the same time.
std::string ProcessId();

}  // namespace quillmar_test

#endif  // QUILLMAR_TESTS_SUPPORT_TEST_PLATFORM_H_
