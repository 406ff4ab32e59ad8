#include "scan/value_format.h"

#include <utility>

#include "platform/platform.h"
#include "properties/entry_types.h"
#include "run/text_conversion.h"

namespace quillmar {
namespace {

// Text of a time that the host cannot convert to local time.
constexpr char kUnconvertibleTime[] = "0000-00-00 00:00:00";
// Minimum length of a UTF-16 reading that makes an untyped value text.
constexpr size_t kMinUtf16TextBytes = 3;

uint64_t read_le(const uint8_t* data, size_t width) {
  uint64_t value = 0;
  for (size_t i = width; i-- > 0;) value = (value << 8) | data[i];
  return value;
}

bool is_printable_or_line_space(uint8_t byte) {
  return (byte >= 0x20 && byte <= 0x7E) || byte == '\t' || byte == '\n' ||
         byte == '\r';
}

// Untyped values: UTF-16 text of 3 bytes or more, else 8-bit text of which
// more than eight tenths are printable, else nothing.
std::string render_untyped(const uint8_t* data, size_t size) {
  std::string utf16 = utf16le_bytes_to_utf8(data, size);
  if (utf16.size() >= kMinUtf16TextBytes) return utf16;
  std::string text = decode_string8_value(data, size);
  size_t printable = 0;
  for (char c : text) {
    if (is_printable_or_line_space(static_cast<uint8_t>(c))) ++printable;
  }
  if (printable > (8 * text.size()) / 10) return text;
  return std::string();
}

// value in decimal, with leading zeros up to width digits.
// REQUIRES: value >= 0.
void append_padded(std::string& out, int value, int width) {
  char digits[12];
  int length = 0;
  do {
    digits[length++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 || length < width);
  while (length > 0) out += digits[--length];
}

}  // namespace

std::string render_value_text(uint32_t value_type, const uint8_t* data,
                              size_t size) {
  if (data == nullptr || size == 0) return std::string();
  switch (value_type) {
    case kValueUnicode:
      return utf16le_bytes_to_utf8(data, size);
    case kValueString8:
      return decode_string8_value(data, size);
    case kValueFiletime:
      return format_filetime(data, size);
    case kValueInt32:
      if (size >= 4) return std::to_string(read_le(data, 4));
      break;
    case kValueInt16:
      if (size >= 2) return std::to_string(read_le(data, 2));
      break;
    case kValueBoolean:
      return data[0] != 0 ? "true" : "false";
    default:
      break;
  }
  return render_untyped(data, size);
}

std::string decode_string8_value(const uint8_t* data, size_t size) {
  if (data == nullptr) return std::string();
  while (size > 0 && data[size - 1] == 0) --size;
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The local time is the host's, by the platform's time-zone rules for that
// date.
std::string format_filetime(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 8) return std::string();
  uint64_t ticks = read_le(data, 8);
  if (ticks >> 63 != 0) return std::string();
  CalendarTime local;
  if (!filetime_to_local_time(ticks, &local)) return kUnconvertibleTime;
  std::string text;
  append_padded(text, local.year, 4);
  for (const auto& [separator, part] : {std::pair<char, int>{'-', local.month},
                                        {'-', local.day}, {' ', local.hour},
                                        {':', local.minute}, {':', local.second}}) {
    text += separator;
    append_padded(text, part, 2);
  }
  return text;
}

std::string priority_label(int32_t importance) {
  if (importance == 2) return "Haute";
  if (importance == 0) return "Basse";
  return "Normale";
}

}  // namespace quillmar
