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

}  // namespace

std::string utf16_to_utf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t unit = units[i];
    if (is_high_surrogate(unit) && i + 1 < units.size() &&
        is_low_surrogate(units[i + 1])) {
      char32_t low = units[++i];
      append_utf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
    } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
      append_utf8(kReplacementCharacter, out);
    } else {
      append_utf8(unit, out);
    }
  }
  return out;
}

std::string utf16le_bytes_to_utf8(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 2) return std::string();
  std::u16string units;
  units.reserve(size / 2);
  for (size_t k = 0; k + 1 < size; k += 2) {
    char16_t unit = static_cast<char16_t>(data[k] | (data[k + 1] << 8));
    if (unit == 0) break;
    units.push_back(unit);
  }
  return utf16_to_utf8(units);
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
