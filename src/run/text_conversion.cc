#include "run/text_conversion.h"

namespace quillmar {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool is_high_surrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// REQUIRES: code_point is a Unicode scalar value (no surrogate, <= U+10FFFF).
void append_utf8(char32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

// 32-bit wchar_t: each unit is a code point, or garbage to be replaced.
std::string utf32_to_utf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t unit : text) {
    char32_t code_point = static_cast<char32_t>(unit);
    bool valid = code_point <= kMaxCodePoint && !is_high_surrogate(code_point) &&
                 !is_low_surrogate(code_point);
    append_utf8(valid ? code_point : kReplacementCharacter, out);
  }
  return out;
}

// The UTF-8 form of `count` UTF-16 units, unit i being unit_at(i). Reading the
// units in place spares property values a copy on the way.
template <typename UnitAt>
std::string utf16_units_to_utf8(size_t count, UnitAt unit_at) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const char32_t unit = unit_at(i);
    if (is_high_surrogate(unit) && i + 1 < count && is_low_surrogate(unit_at(i + 1))) {
      const char32_t low = unit_at(++i);
      append_utf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
    } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
      append_utf8(kReplacementCharacter, out);
    } else {
      append_utf8(unit, out);
    }
  }
  return out;
}

}  // namespace

std::string utf16_to_utf8(std::u16string_view units) {
  return utf16_units_to_utf8(units.size(), [units](size_t i) { return units[i]; });
}

std::string utf16le_bytes_to_utf8(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 2) return std::string();
  auto unit_at = [data](size_t k) {
    return static_cast<char16_t>(data[2 * k] | (data[2 * k + 1] << 8));
  };
  size_t count = 0;
  while (count < size / 2 && unit_at(count) != 0) ++count;
  return utf16_units_to_utf8(count, unit_at);
}

std::string wide_to_utf8(std::wstring_view text) {
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    return utf16_to_utf8(std::u16string_view(
        reinterpret_cast<const char16_t*>(text.data()), text.size()));
  } else {
    return utf32_to_utf8(text);
  }
}

}  // namespace quillmar
