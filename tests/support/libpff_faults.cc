#include "support/libpff_faults.h"

#include <libpff.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "support/libpff_wrap.h"

namespace libpff_faults {
namespace {

// Faults, call counts, and the objects alive with the function that made each.
std::vector<Injected> faults;
std::vector<std::pair<Injected, std::function<void()>>> actions;
std::map<std::string, int> call_counts;
std::map<const void*, std::string> live;
// Guards the above: a parallel export calls libpff from several threads.
std::recursive_mutex guard;

}  // namespace

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

void remember(const void* object, const char* function) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  live[object] = function;
}

void forget(const void* object) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (object != nullptr) live.erase(object);
}

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

using libpff_faults::kNoObject;

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
  if (e != nullptr) libpff_faults::forget(*e);
  __real_libpff_error_free(e);
}
