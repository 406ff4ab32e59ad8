#include "run/text_conversion.h"

#include <string>

#include <gtest/gtest.h>

namespace quillmar {
namespace {

using namespace std::string_literals;

TEST(Utf16ToUtf8, ConvertsEachFormAndReplacesUnpairedSurrogates) {
  struct Row {
    std::u16string units;
    std::string expected;
  };
  const Row rows[] = {
      {u"", ""},
      {u"A\u007F", "A\x7F"},                          // last one-byte form
      {u"\u0080", "\xC2\x80"},                         // first two-byte form
      {u"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9"},
      {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},       // two/three-byte boundary
      {u"\uFFFF", "\xEF\xBF\xBF"},
      {u"a\0b"s, "a\0b"s},                             // NUL unit is a 0 byte
      {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},          // U+1F600
      {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},          // U+10FFFF
      {{0xD800, 0x0061}, "\xEF\xBF\xBD" "a"},          // high then no low
      {{0xD800}, "\xEF\xBF\xBD"},                      // high at the end
      {{0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // low then high: both lone
      {{0xD800, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
  };
  for (const Row& row : rows) {
    std::string hex;
    for (char16_t u : row.units) hex += std::to_string(u) + " ";
    EXPECT_EQ(utf16_to_utf8(row.units), row.expected) << "units: " << hex;
  }
}

TEST(Utf16leBytesToUtf8, ReadsLittleEndianUnitsUpToTheFirstZeroUnit) {
  struct Row {
    std::string bytes;
    std::string expected;
  };
  const Row rows[] = {
      {"", ""},
      {"A", ""},                                       // one byte: no unit
      {"A\0"s, "A"},
      {"A\0B"s, "A"},                                  // odd final byte ignored
      {"A\0B\0\0\0C\0"s, "AB"},                        // stops at the zero unit
      {"\0\0A\0"s, ""},
      {"\0A"s, "\xE4\x84\x80"},                        // 0x4100: high byte counts
      {"A\0\0B"s, "A\xE4\x88\x80"},                    // 0x4200 is no zero unit
      {"\xE9\0"s, "\xC3\xA9"},
      {"\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
      {"\x00\xD8\x00\x00"s, "\xEF\xBF\xBD"},           // lone high before the stop
  };
  for (const Row& row : rows) {
    EXPECT_EQ(utf16le_bytes_to_utf8(reinterpret_cast<const uint8_t*>(row.bytes.data()),
                                    row.bytes.size()),
              row.expected)
        << "bytes of size " << row.bytes.size() << ": " << row.bytes;
  }
  EXPECT_EQ(utf16le_bytes_to_utf8(nullptr, 8), "");
}

TEST(WideToUtf8, TreatsUnitsAsCodePointsAndReplacesInvalidOnes) {
  static_assert(sizeof(wchar_t) == 4, "these rows are for 32-bit wchar_t");
  struct Row {
    std::wstring text;
    std::string expected;
  };
  const Row rows[] = {
      {L"", ""},
      {L"C:/archives/\u00E9t\u00E9.pst", "C:/archives/\xC3\xA9t\xC3\xA9.pst"},
      {L"a\0b"s, "a\0b"s},
      {{static_cast<wchar_t>(0x1F600)}, "\xF0\x9F\x98\x80"},
      {{static_cast<wchar_t>(0x10FFFF)}, "\xF4\x8F\xBF\xBF"},
      {{static_cast<wchar_t>(0x110000)}, "\xEF\xBF\xBD"},
      {{static_cast<wchar_t>(0xD7FF)}, "\xED\x9F\xBF"},
      {{static_cast<wchar_t>(0xD800)}, "\xEF\xBF\xBD"},
      {{static_cast<wchar_t>(0xDFFF)}, "\xEF\xBF\xBD"},
      {{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)},
       "\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate pairs mean nothing in UTF-32
      {{static_cast<wchar_t>(0xE000)}, "\xEE\x80\x80"},
      {{static_cast<wchar_t>(-1)}, "\xEF\xBF\xBD"},
  };
  for (const Row& row : rows) {
    std::string codes;
    for (wchar_t w : row.text) codes += std::to_string(static_cast<long>(w)) + " ";
    EXPECT_EQ(wide_to_utf8(row.text), row.expected) << "code points: " << codes;
  }
}

}  // namespace
}  // namespace quillmar
