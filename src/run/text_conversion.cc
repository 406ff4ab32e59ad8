#include "run/text_conversion.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillmar {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;
// utf16le_bytes_to_utf8 reserves at most this much ahead of the text.
constexpr size_t kUtf16ReserveLimit = 1 << 16;

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

// Writes the UTF-8 of the UTF-16 unit `unit` at out, `next` being the unit
// after it (0 when there is none), and returns the end of what it wrote;
// *pair tells whether the two made one character. An unpaired surrogate
// becomes U+FFFD.
char* put_utf16_unit(char32_t unit, char32_t next, char* out, bool* pair) {
  *pair = is_high_surrogate(unit) && is_low_surrogate(next);
  if (*pair) return put_utf8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), out);
  if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
    return put_utf8(kReplacementCharacter, out);
  }
  return put_utf8(unit, out);
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

}  // namespace

std::string utf16_to_utf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size();) {
    const char32_t unit = units[i++];
    char bytes[4];
    bool pair = false;
    const char* end = put_utf16_unit(unit, i < units.size() ? units[i] : 0, bytes, &pair);
    if (pair) ++i;
    out.append(bytes, static_cast<size_t>(end - bytes));
  }
  return out;
}

std::string utf16le_bytes_to_utf8(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 2) return std::string();
  const size_t count = size / 2;
  std::string out;
  // Room for a text of one byte a unit (most property text is ASCII),
  // without clearing it; the text may end well before count at a zero unit.
  if (count > 15) out.reserve(std::min<size_t>(count, kUtf16ReserveLimit));
  // Converted bytes are staged here and appended a piece at a time.
  char staged[1024];
  size_t used = 0;
  auto make_room = [&](size_t bytes) {
    if (used + bytes > sizeof staged) {
      out.append(staged, used);
      used = 0;
    }
  };
  auto unit_at = [data](size_t k) {
    return static_cast<char32_t>(data[2 * k] | (data[2 * k + 1] << 8));
  };
  size_t i = 0;
  while (i < count) {
#if defined(__SSE2__)
    // Sixteen, then eight units at a time while they are all ASCII and none
    // is 0: units 1 to 0x7F, as signed 16-bit values, are those above 0 and
    // below 0x80.
    const __m128i zero = _mm_setzero_si128();
    const __m128i non_ascii = _mm_set1_epi16(0x80);
    auto ascii_mask = [&](__m128i units) {
      return _mm_movemask_epi8(
          _mm_and_si128(_mm_cmpgt_epi16(units, zero), _mm_cmplt_epi16(units, non_ascii)));
    };
    for (; i + 16 <= count; i += 16) {
      const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * i));
      const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * i + 16));
      if ((ascii_mask(low) & ascii_mask(high)) != 0xFFFF) break;
      make_room(16);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(staged + used), _mm_packus_epi16(low, high));
      used += 16;
    }
    for (; i + 8 <= count; i += 8) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * i));
      if (ascii_mask(units) != 0xFFFF) break;
      make_room(8);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(staged + used), _mm_packus_epi16(units, units));
      used += 8;
    }
    if (i == count) break;
#endif
    const char32_t unit = unit_at(i++);
    if (unit == 0) break;
    make_room(4);
    if (unit < 0x80) {
      staged[used++] = static_cast<char>(unit);
      continue;
    }
    bool pair = false;
    const char* end = put_utf16_unit(unit, i < count ? unit_at(i) : 0, staged + used, &pair);
    if (pair) ++i;
    used = static_cast<size_t>(end - staged);
  }
  out.append(staged, used);
  return out;
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
