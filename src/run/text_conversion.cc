#include "run/text_conversion.h"

#include <endian.h>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// True when the four units in `units` (unit k in bits 16k..16k+15) are all
// ASCII and none is 0.
bool all_ascii_nonzero(uint64_t units) {
  return (units & 0xFF80FF80FF80FF80) == 0 &&
         ((units + 0x007F007F007F007F) & 0x0080008000800080) == 0x0080008000800080;
}

// The UTF-8 form of `count` UTF-16 units, unit i being unit_at(i) and units
// i..i+3 being four_at(i) (packed as all_ascii_nonzero takes them), ending
// before the first zero unit when stop_at_zero. Reading the units in place
// spares property values a copy. Most text is ASCII, one byte per unit,
// taken four units at a time; the buffer starts at one byte a unit and grows
// once, at the first other unit, to the worst case for the rest (3 bytes a
// unit: a pair of units takes 4).
template <typename UnitAt, typename FourAt>
std::string utf16_units_to_utf8(size_t count, UnitAt unit_at, FourAt four_at,
                                bool stop_at_zero) {
  std::string out(count, '\0');
  char* end = &out[0];
  bool grown = false;
  size_t i = 0;
  while (i < count) {
    for (uint64_t units; i + 4 <= count && all_ascii_nonzero(units = four_at(i)); i += 4) {
      for (int k = 0; k < 4; ++k) *end++ = static_cast<char>(units >> (16 * k));
    }
    if (i == count) break;
    const char32_t unit = unit_at(i++);
    if (unit < 0x80) {
      if (unit == 0 && stop_at_zero) break;
      *end++ = static_cast<char>(unit);
      continue;
    }
    if (!grown) {
      const size_t used = static_cast<size_t>(end - &out[0]);
      out.resize(used + 3 * (count - i + 1));
      end = &out[used];
      grown = true;
    }
    if (is_high_surrogate(unit) && i < count && is_low_surrogate(unit_at(i))) {
      const char32_t low = unit_at(i++);
      end = put_utf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), end);
    } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
      end = put_utf8(kReplacementCharacter, end);
    } else {
      end = put_utf8(unit, end);
    }
  }
  out.resize(static_cast<size_t>(end - &out[0]));
  return out;
}

}  // namespace

std::string utf16_to_utf8(std::u16string_view units) {
  auto unit_at = [units](size_t i) { return units[i]; };
  auto four_at = [units](size_t i) {
    return uint64_t{units[i]} | uint64_t{units[i + 1]} << 16 | uint64_t{units[i + 2]} << 32 |
           uint64_t{units[i + 3]} << 48;
  };
  return utf16_units_to_utf8(units.size(), unit_at, four_at, false);
}

std::string utf16le_bytes_to_utf8(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 2) return std::string();
  const size_t count = size / 2;
  std::string out;
  size_t done = 0;
#if defined(__SSE2__)
  // Eight units at a time while they are all ASCII and none is 0: the bulk
  // of property text, one byte per unit.
  out.resize(count);
  const __m128i zero = _mm_setzero_si128();
  const __m128i non_ascii = _mm_set1_epi16(0x80);
  for (; done + 8 <= count; done += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * done));
    const __m128i ascii = _mm_and_si128(_mm_cmpgt_epi16(units, zero),
                                        _mm_cmplt_epi16(units, non_ascii));
    if (_mm_movemask_epi8(ascii) != 0xFFFF) break;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&out[done]), _mm_packus_epi16(units, units));
  }
  out.resize(done);
#endif
  auto unit_at = [data, done](size_t k) {
    return static_cast<char16_t>(data[2 * (done + k)] | (data[2 * (done + k) + 1] << 8));
  };
  auto four_at = [data, done](size_t k) {
    uint64_t units;
    std::memcpy(&units, data + 2 * (done + k), sizeof units);
    return le64toh(units);
  };
  if (done == count) return out;
  if (done == 0) return utf16_units_to_utf8(count, unit_at, four_at, true);
  return out + utf16_units_to_utf8(count - done, unit_at, four_at, true);
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
