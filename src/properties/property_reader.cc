#include "properties/property_reader.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "properties/entry_types.h"
#include "properties/libpff_handles.h"
#include "run/text_conversion.h"

namespace quillmar {
namespace {

// Buffer size of the first try of read_utf8.
constexpr size_t kFirstTryBytes = 4096;
// U+FEFF and U+FFFE in UTF-8: a UTF-16 value's leading byte-order mark, in
// either order, as the decoding of its bytes shows it. libpff drops it.
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf8SwappedByteOrderMark = "\xEF\xBF\xBE";

const RecordEntryValue* first_entry(const RecordSetValues& set, uint32_t entry_type) {
  for (const RecordEntryValue& entry : set.entries) {
    if (entry.entry_type == entry_type) return &entry;
  }
  return nullptr;
}

// The bytes of a buffer up to its first 0 byte (libpff ends its UTF-8 text
// with one).
std::string text_before_nul(const std::vector<uint8_t>& buffer) {
  const char* begin = reinterpret_cast<const char*>(buffer.data());
  return std::string(begin, strnlen(begin, buffer.size()));
}

// A value read through one of libpff's UTF-8 size/copy function pairs:
// copy_into(buffer, size, error), size_of(size*, error). Nothing when
// libpff gives a size of 0 or fails. libpff converts the whole value for
// each call, so the copy is tried first into a buffer that most values fit;
// a value that does not fit, or that comes back empty (where only the size
// tells an empty value from an absent one), takes the size call and a copy
// of that size, as libpff's interface intends. Both ways give the same text.
template <typename SizeOf, typename CopyInto>
std::optional<std::string> read_utf8(SizeOf size_of, CopyInto copy_into) {
  libpff_error_t* error = nullptr;
  std::vector<uint8_t> buffer(kFirstTryBytes, 0);
  if (copy_into(buffer.data(), buffer.size(), &error) == 1) {
    std::string text = text_before_nul(buffer);
    if (!text.empty()) return text;
  }
  discard_error(&error);
  size_t size = 0;
  if (size_of(&size, &error) != 1 || size == 0) {
    discard_error(&error);
    return std::nullopt;
  }
  buffer.assign(size + 1, 0);
  if (copy_into(buffer.data(), size, &error) != 1) {
    discard_error(&error);
    return std::nullopt;
  }
  return text_before_nul(buffer);
}

// A body through one of libpff's size/value function pairs. Sets present
// when libpff reported a body of non-zero size.
template <typename SizeFn, typename ValueFn>
std::string read_body(libpff_item_t* message, SizeFn size_fn, ValueFn value_fn,
                      bool* present) {
  std::optional<std::string> body = read_utf8(
      [&](size_t* size, libpff_error_t** error) { return size_fn(message, size, error); },
      [&](uint8_t* buffer, size_t size, libpff_error_t** error) {
        return value_fn(message, buffer, size, error);
      });
  *present = body.has_value();
  return body.value_or(std::string());
}

// text without a leading byte-order mark in either order.
std::string_view without_byte_order_mark(std::string_view text) {
  for (std::string_view mark : {kUtf8ByteOrderMark, kUtf8SwappedByteOrderMark}) {
    if (text.compare(0, mark.size(), mark) == 0) return text.substr(mark.size());
  }
  return text;
}

// The text string_entry gives, as a view into set; nothing where it gives
// nothing.
std::optional<std::string_view> find_string_entry(const RecordSetValues& set,
                                                  uint32_t entry_type) {
  const RecordEntryValue* entry = first_entry(set, entry_type);
  if (entry == nullptr || !entry->readable) return std::nullopt;
  if (entry->value_type == kValueString8) {
    if (!entry->string8_text) return std::nullopt;
    return std::string_view(*entry->string8_text);
  }
  if (entry->value_type != kValueUnicode || entry->size == 0 || entry->size % 2 != 0) {
    return std::nullopt;
  }
  return without_byte_order_mark(entry->text);
}

}  // namespace

std::optional<std::string> try_read_utf8_property(libpff_item_t* item, uint32_t entry_type,
                                                  uint8_t flags, int set_index) {
  return read_utf8(
      [&](size_t* size, libpff_error_t** error) {
        return libpff_item_get_entry_value_utf8_string_size(item, set_index, entry_type, size,
                                                            flags, error);
      },
      [&](uint8_t* buffer, size_t size, libpff_error_t** error) {
        return libpff_item_get_entry_value_utf8_string(item, set_index, entry_type, buffer,
                                                       size, flags, error);
      });
}

std::optional<std::string> try_read_text_property(libpff_item_t* item, uint32_t entry_type) {
  libpff_error_t* error = nullptr;
  uint32_t value_type = kValueUnicode;
  uint8_t* data = nullptr;
  size_t size = 0;
  const int found = libpff_item_get_entry_value(item, 0, entry_type, &value_type, &data, &size,
                                                kEntryValueFlags, &error);
  discard_error(&error);
  if (found == 1 && data != nullptr) {
    if (size == 0 || size % 2 != 0) return std::nullopt;
    return std::string(without_byte_order_mark(utf16le_bytes_to_utf8(data, size)));
  }
  return try_read_utf8_property(item, entry_type);
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

std::optional<std::string> string_entry(const RecordSetValues& set, uint32_t entry_type) {
  if (const std::optional<std::string_view> text = find_string_entry(set, entry_type)) {
    return std::string(*text);
  }
  return std::nullopt;
}

std::string_view string_entry_view(const RecordSetValues& set, uint32_t entry_type) {
  return find_string_entry(set, entry_type).value_or(std::string_view());
}

std::string string_entry_or_empty(const RecordSetValues& set, uint32_t entry_type) {
  return string_entry(set, entry_type).value_or(std::string());
}

uint32_t u32_entry(const RecordSetValues& set, uint32_t entry_type, uint32_t default_value) {
  for (const RecordEntryValue& entry : set.entries) {
    if (entry.entry_type != entry_type || entry.value_type != kValueInt32) continue;
    if (!entry.readable || entry.size != 4) return default_value;
    return static_cast<uint32_t>(entry.head);
  }
  return default_value;
}

std::string read_plain_text_body(libpff_item_t* message, const RecordSetValues* own) {
  const RecordSetValues none;
  const RecordSetValues& entries = own != nullptr ? *own : none;
  const RecordEntryValue* stored = first_entry(entries, kEntryBody);
  if (stored != nullptr && stored->value_type == kValueUnicode) {
    std::optional<std::string> body = string_entry(entries, kEntryBody);
    if (body && !body->empty()) return std::move(*body);
  }
  bool present = false;
  std::string body = read_body(message, libpff_message_get_plain_text_body_size,
                               libpff_message_get_plain_text_body, &present);
  if (present) return body;

  body = string_entry_or_empty(entries, kEntryBody);
  if (!body.empty()) return body;
  body = string_entry_or_empty(entries, kEntryHtmlBody);
  if (!body.empty()) return body;
  // The HTML body is usually stored as binary, which the text read above
  // cannot return; libpff gives it as the bytes stored.
  return read_body(message, libpff_message_get_html_body_size,
                   libpff_message_get_html_body, &present);
}

}  // namespace quillmar
