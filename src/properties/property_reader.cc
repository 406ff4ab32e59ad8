#include "properties/property_reader.h"

#include <cstring>
#include <vector>

#include "properties/entry_types.h"
#include "properties/libpff_handles.h"

namespace quillmar {
namespace {

// The bytes of a zero-filled buffer of size + 1 up to its first 0 byte.
std::string text_before_nul(const std::vector<uint8_t>& buffer) {
  const char* begin = reinterpret_cast<const char*>(buffer.data());
  return std::string(begin, strnlen(begin, buffer.size()));
}

// Reads a body through one of libpff's size/value function pairs. Sets
// present when libpff reported a body of non-zero size.
template <typename SizeFn, typename ValueFn>
std::string read_body(libpff_item_t* message, SizeFn size_fn, ValueFn value_fn,
                      bool* present) {
  libpff_error_t* error = nullptr;
  size_t size = 0;
  *present = false;
  std::string body;
  if (size_fn(message, &size, &error) == 1 && size != 0) {
    std::vector<uint8_t> buffer(size + 1, 0);
    if (value_fn(message, buffer.data(), size, &error) == 1) {
      *present = true;
      body = text_before_nul(buffer);
    }
  }
  discard_error(&error);
  return body;
}

}  // namespace

std::optional<std::string> try_read_utf8_property(libpff_item_t* item, uint32_t entry_type,
                                                  uint8_t flags, int set_index) {
  libpff_error_t* error = nullptr;
  size_t size = 0;
  if (libpff_item_get_entry_value_utf8_string_size(
          item, set_index, entry_type, &size, flags, &error) != 1 ||
      size == 0) {
    discard_error(&error);
    return std::nullopt;
  }
  std::vector<uint8_t> buffer(size + 1, 0);
  if (libpff_item_get_entry_value_utf8_string(item, set_index, entry_type,
                                              buffer.data(), size, flags,
                                              &error) != 1) {
    discard_error(&error);
    return std::nullopt;
  }
  return text_before_nul(buffer);
}

std::string read_utf8_property(libpff_item_t* item, uint32_t entry_type, uint8_t flags,
                               int set_index) {
  return try_read_utf8_property(item, entry_type, flags, set_index).value_or(std::string());
}

uint32_t read_u32_property(libpff_item_t* item, uint32_t entry_type, uint32_t default_value,
                           int set_index) {
  libpff_error_t* error = nullptr;
  uint32_t value = default_value;
  if (libpff_item_get_entry_value_32bit(item, set_index, entry_type,
                                        &value, kEntryValueFlags, &error) == 1) {
    return value;
  }
  discard_error(&error);
  return default_value;
}

std::string read_plain_text_body(libpff_item_t* message) {
  bool present = false;
  std::string body = read_body(message, libpff_message_get_plain_text_body_size,
                               libpff_message_get_plain_text_body, &present);
  if (present) return body;

  body = read_utf8_property(message, kEntryBody);
  if (!body.empty()) return body;
  body = read_utf8_property(message, kEntryHtmlBody);
  if (!body.empty()) return body;
  // The HTML body is usually stored as binary, which the text read above
  // cannot return; libpff gives it as the bytes stored.
  return read_body(message, libpff_message_get_html_body_size,
                   libpff_message_get_html_body, &present);
}

}  // namespace quillmar
