// How the shim's wrappers are made, for libpff_faults.cc and a platform's
// own wrappers (libpff_faults_windows.cc). Each wrapper is
// __wrap_<function>, which the link's -Wl,--wrap=<function> puts in place of
// every call the library's code makes; __real_<function> is libpff's.
#ifndef QUILLMAR_TESTS_SUPPORT_LIBPFF_WRAP_H_
#define QUILLMAR_TESTS_SUPPORT_LIBPFF_WRAP_H_

#include <libpff.h>

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <type_traits>

#include "support/libpff_faults.h"

namespace libpff_faults {

struct Injected {
  std::string function;
  int nth;
  Fault fault;
  uint64_t value;
};

// Counts a call of function, runs the actions set for it, and returns the
// fault it must make, if any.
std::optional<Injected> next_fault(const char* function);
// Counts object (or error object) as alive, made by function, until forget().
void remember(const void* object, const char* function);
void forget(const void* object);

inline void* const* const kNoObject = nullptr;
inline int* const kNoValue = nullptr;

// Runs one intercepted call: `real` passes it through, `failing` repeats it
// with a null first argument so that libpff raises its own error.
template <typename R, typename Object, typename Value, typename Real, typename Failing>
R intercept(const char* function, Object* const* object, Value* value, libpff_error_t** error,
            Real real, Failing failing) {
  libpff_error_t* const before = error != nullptr ? *error : nullptr;
  R result = 0;
  if (const std::optional<Injected> fault = next_fault(function)) {
    switch (fault->fault) {
      case Fault::kError: result = failing(); break;
      case Fault::kNotAvailable: return 0;
      case Fault::kStdException: throw std::bad_alloc();
      case Fault::kOtherException: throw 42;
      case Fault::kNullObject:
        if (object != nullptr) *const_cast<Object**>(object) = nullptr;
        return 1;
      case Fault::kValue:
        if constexpr (std::is_arithmetic_v<Value>) *value = static_cast<Value>(fault->value);
        return 1;
    }
  } else {
    result = real();
    if (result == 1 && object != nullptr && *object != nullptr) remember(*object, function);
  }
  if (error != nullptr && *error != nullptr && *error != before) remember(*error, function);
  return result;
}

}  // namespace libpff_faults

#define WRAP_WITH(ret, fn, params, args, failing_args, object, value)                      \
  extern "C" ret __real_##fn params;                                                      \
  extern "C" ret __wrap_##fn params {                                                     \
    return libpff_faults::intercept<ret>(#fn, object, value, e,                           \
                                         [&] { return __real_##fn args; },                \
                                         [&] { return __real_##fn failing_args; });       \
  }
#define WRAP(ret, fn, params, args, failing_args, object) \
  WRAP_WITH(ret, fn, params, args, failing_args, object, libpff_faults::kNoValue)
// fn(self, value*, error), where the value may be an object libpff hands out.
#define WRAP_GET(fn, Self, Value, object)                                                     \
  WRAP_WITH(int, fn, (Self * x, Value * v, libpff_error_t * *e), (x, v, e), (nullptr, v, e), \
            object, v)
// fn(self, index, object**, error).
#define WRAP_AT(fn, Self, Object) \
  WRAP(int, fn, (Self * x, int i, Object * *o, libpff_error_t * *e), (x, i, o, e), (nullptr, i, o, e), o)
// fn(self, buffer, size, error).
#define WRAP_READ(ret, fn, Self)                                                      \
  WRAP(ret, fn, (Self * x, uint8_t * b, size_t s, libpff_error_t * *e), (x, b, s, e), \
       (nullptr, b, s, e), libpff_faults::kNoObject)
#define WRAP_FREE(fn, T)                                   \
  extern "C" int __real_##fn(T** x, libpff_error_t** e);   \
  extern "C" int __wrap_##fn(T** x, libpff_error_t** e) {  \
    if (x != nullptr) libpff_faults::forget(*x);           \
    return __real_##fn(x, e);                              \
  }

#endif  // QUILLMAR_TESTS_SUPPORT_LIBPFF_WRAP_H_
