#include "run/text_conversion.h"

namespace quillmar {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool is_high_surrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Writes code_point as UTF-8 at out and returns the end of what it wrote.
// REQUIRES: code_point is a Unicode scalar value (no surrogate, <= U+10FFFF).
char* put_utf8(char32_t code_point, char* out) {
  if (code_point < 0x80) {
    *out++ = static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code_point >> 6));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (code_point >> 12));
    *out++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (code_point >> 18));
    *out++ = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  }
  return out;
}

void append_utf8(char32_t code_point, std::string& out) {
  char bytes[4];
  out.append(bytes, static_cast<size_t>(put_utf8(code_point, bytes) - bytes));
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

// The UTF-8 form of `count` UTF-16 units, unit i being unit_at(i), ending
// before the first zero unit when stop_at_zero. Reading the units in place
// spares property values a copy on the way; the text is written into one
// buffer sized for the worst case (3 bytes a unit: a pair of units takes 4),
// ASCII units first and cheapest.
template <typename UnitAt>
std::string utf16_units_to_utf8(size_t count, UnitAt unit_at, bool stop_at_zero) {
  std::string out(3 * count, '\0');
  char* const begin = &out[0];
  char* end = begin;
  for (size_t i = 0; i < count; ++i) {
    const char32_t unit = unit_at(i);
    if (unit < 0x80) {
      if (unit == 0 && stop_at_zero) break;
      *end++ = static_cast<char>(unit);
    } else if (is_high_surrogate(unit) && i + 1 < count && is_low_surrogate(unit_at(i + 1))) {
      const char32_t low = unit_at(++i);
      end = put_utf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), end);
    } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
      end = put_utf8(kReplacementCharacter, end);
    } else {
      end = put_utf8(unit, end);
    }
  }
  out.resize(static_cast<size_t>(end - begin));
  return out;
}

}  // namespace

std::string utf16_to_utf8(std::u16string_view units) {
  return utf16_units_to_utf8(units.size(), [units](size_t i) { return units[i]; }, false);
}

std::string utf16le_bytes_to_utf8(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 2) return std::string();
  auto unit_at = [data](size_t k) {
    return static_cast<char16_t>(data[2 * k] | (data[2 * k + 1] << 8));
  };
  return utf16_units_to_utf8(size / 2, unit_at, true);
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
