// A thin layer between the library's code and the real libpff, linked into
// the test binaries with -Wl,--wrap for every libpff function the library
// calls. Every call goes through to libpff unless a test asked for that call
// to fail; every object and error object libpff hands out is counted until it
// is freed, so a test can assert that a run released everything.
#ifndef QUILLMAR_TESTS_SUPPORT_LIBPFF_FAULTS_H_
#define QUILLMAR_TESTS_SUPPORT_LIBPFF_FAULTS_H_

#include <cstdint>
#include <functional>
#include <string>

namespace libpff_faults {

enum class Fault {
  kError,           // -1 with an error object raised by libpff itself
  kNullObject,      // 1, but the object out-parameter left null
  kNotAvailable,    // 0, libpff's "not available"
  kStdException,    // throws std::bad_alloc
  kOtherException,  // throws an int
  kValue,           // 1 with `value` as the number, identifier or size asked for
};

// Makes call number `nth` (1-based, counted from now) of the libpff function
// `function` fail as `fault`; with nth == 0 every call from now on fails.
// Faults stack; the first one that matches a call applies.
// kValue applies only to functions that give one number.
void inject(const std::string& function, int nth, Fault fault = Fault::kError,
            uint64_t value = 0);

// Runs action just before call number `nth` of `function` goes to libpff.
void on_call(const std::string& function, int nth, std::function<void()> action);

// Forgets every fault, action and every call count; objects still alive stay counted.
void clear_faults();

// Calls of `function` since the last clear_faults().
int calls(const std::string& function);

// Objects and error objects handed out and not freed, one per line as
// "<function that made it>", or "" when none.
std::string leaks();

}  // namespace libpff_faults

#endif  // QUILLMAR_TESTS_SUPPORT_LIBPFF_FAULTS_H_
