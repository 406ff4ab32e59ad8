#include "support/libpff_faults.h"

#include <libpff.h>

#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <type_traits>
#include <vector>

namespace libpff_faults {
namespace {

struct Injected {
  std::string function;
  int nth;
  Fault fault;
  uint64_t value;
};

// Faults, call counts, and the objects alive with the function that made each.
std::vector<Injected> faults;
std::vector<std::pair<Injected, std::function<void()>>> actions;
std::map<std::string, int> call_counts;
std::map<const void*, std::string> live;
// Guards the above: a parallel export calls libpff from several threads.
std::recursive_mutex guard;

std::optional<Injected> next_fault(const char* function) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  const int n = ++call_counts[function];
  for (const auto& [when, action] : actions) {
    if (when.function == function && when.nth == n) action();
  }
  for (const Injected& injected : faults) {
    if (injected.function == function && (injected.nth == 0 || injected.nth == n)) return injected;
  }
  return std::nullopt;
}

void* const* const kNoObject = nullptr;
int* const kNoValue = nullptr;

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
    std::lock_guard<std::recursive_mutex> lock(guard);
    if (result == 1 && object != nullptr && *object != nullptr) live[*object] = function;
  }
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (error != nullptr && *error != nullptr && *error != before) live[*error] = function;
  return result;
}

template <typename T>
void forget(T* const* object) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (object != nullptr && *object != nullptr) live.erase(*object);
}

}  // namespace

void inject(const std::string& function, int nth, Fault fault, uint64_t value) {
  faults.push_back({function, nth, fault, value});
}

void on_call(const std::string& function, int nth, std::function<void()> action) {
  actions.push_back({{function, nth, Fault::kError, 0}, std::move(action)});
}

void clear_faults() {
  faults.clear();
  actions.clear();
  call_counts.clear();
}

int calls(const std::string& function) { return call_counts[function]; }

std::string leaks() {
  std::string text;
  for (const auto& [object, function] : live) text += function + "\n";
  return text;
}

}  // namespace libpff_faults

using libpff_faults::intercept;
using libpff_faults::kNoObject;
using libpff_faults::kNoValue;

#define WRAP_WITH(ret, fn, params, args, failing_args, object, value)         \
  extern "C" ret __real_##fn params;                                         \
  extern "C" ret __wrap_##fn params {                                        \
    return intercept<ret>(#fn, object, value, e, [&] { return __real_##fn args; }, \
                          [&] { return __real_##fn failing_args; });         \
  }
#define WRAP(ret, fn, params, args, failing_args, object) \
  WRAP_WITH(ret, fn, params, args, failing_args, object, kNoValue)
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
       (nullptr, b, s, e), kNoObject)
#define WRAP_FREE(fn, T)                                   \
  extern "C" int __real_##fn(T** x, libpff_error_t** e);   \
  extern "C" int __wrap_##fn(T** x, libpff_error_t** e) {  \
    libpff_faults::forget(x);                              \
    return __real_##fn(x, e);                              \
  }

WRAP(int, libpff_file_initialize, (libpff_file_t * *f, libpff_error_t * *e), (f, e), (nullptr, e), f)
WRAP(int, libpff_file_open, (libpff_file_t * f, const char* n, int a, libpff_error_t** e),
     (f, n, a, e), (nullptr, n, a, e), kNoObject)
WRAP_GET(libpff_file_get_root_folder, libpff_file_t, libpff_item_t*, v)
WRAP_GET(libpff_file_get_message_store, libpff_file_t, libpff_item_t*, v)
WRAP(int, libpff_file_get_item_by_identifier,
     (libpff_file_t * f, uint32_t i, libpff_item_t** o, libpff_error_t** e), (f, i, o, e),
     (nullptr, i, o, e), o)
WRAP_GET(libpff_folder_get_number_of_sub_messages, libpff_item_t, int, kNoObject)
WRAP_GET(libpff_folder_get_number_of_sub_folders, libpff_item_t, int, kNoObject)
WRAP_AT(libpff_folder_get_sub_message, libpff_item_t, libpff_item_t)
WRAP_AT(libpff_folder_get_sub_folder, libpff_item_t, libpff_item_t)
WRAP_GET(libpff_item_get_identifier, libpff_item_t, uint32_t, kNoObject)
WRAP_GET(libpff_item_get_number_of_record_sets, libpff_item_t, int, kNoObject)
WRAP_AT(libpff_item_get_record_set_by_index, libpff_item_t, libpff_record_set_t)
WRAP(int, libpff_item_get_entry_value_utf8_string_size,
     (libpff_item_t * x, int s, uint32_t t, size_t* z, uint8_t f, libpff_error_t** e),
     (x, s, t, z, f, e), (nullptr, s, t, z, f, e), kNoObject)
WRAP(int, libpff_item_get_entry_value_utf8_string,
     (libpff_item_t * x, int s, uint32_t t, uint8_t* b, size_t z, uint8_t f, libpff_error_t** e),
     (x, s, t, b, z, f, e), (nullptr, s, t, b, z, f, e), kNoObject)
WRAP(int, libpff_item_get_entry_value_32bit,
     (libpff_item_t * x, int s, uint32_t t, uint32_t* v, uint8_t f, libpff_error_t** e),
     (x, s, t, v, f, e), (nullptr, s, t, v, f, e), kNoObject)
WRAP_GET(libpff_record_set_get_number_of_entries, libpff_record_set_t, int, kNoObject)
WRAP_AT(libpff_record_set_get_entry_by_index, libpff_record_set_t, libpff_record_entry_t)
WRAP_GET(libpff_record_entry_get_entry_type, libpff_record_entry_t, uint32_t, kNoObject)
WRAP_GET(libpff_record_entry_get_value_type, libpff_record_entry_t, uint32_t, kNoObject)
WRAP_GET(libpff_record_entry_get_data_size, libpff_record_entry_t, size_t, kNoObject)
WRAP_READ(int, libpff_record_entry_get_data, libpff_record_entry_t)
WRAP_GET(libpff_record_entry_get_data_as_utf8_string_size, libpff_record_entry_t, size_t, kNoObject)
WRAP_READ(int, libpff_record_entry_get_data_as_utf8_string, libpff_record_entry_t)
WRAP_GET(libpff_message_get_plain_text_body_size, libpff_item_t, size_t, kNoObject)
WRAP_GET(libpff_message_get_html_body_size, libpff_item_t, size_t, kNoObject)
WRAP_READ(int, libpff_message_get_plain_text_body, libpff_item_t)
WRAP_READ(int, libpff_message_get_html_body, libpff_item_t)
WRAP_GET(libpff_message_get_number_of_attachments, libpff_item_t, int, kNoObject)
WRAP_AT(libpff_message_get_attachment, libpff_item_t, libpff_item_t)
WRAP_GET(libpff_message_get_recipients, libpff_item_t, libpff_item_t*, v)
WRAP_GET(libpff_attachment_get_data_size, libpff_item_t, size64_t, kNoObject)
WRAP_READ(ssize_t, libpff_attachment_data_read_buffer, libpff_item_t)

WRAP_FREE(libpff_file_free, libpff_file_t)
WRAP_FREE(libpff_item_free, libpff_item_t)
WRAP_FREE(libpff_record_set_free, libpff_record_set_t)
WRAP_FREE(libpff_record_entry_free, libpff_record_entry_t)

extern "C" void __real_libpff_error_free(libpff_error_t** e);
extern "C" void __wrap_libpff_error_free(libpff_error_t** e) {
  libpff_faults::forget(e);
  __real_libpff_error_free(e);
}
