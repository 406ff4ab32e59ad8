#include "run/text_conversion.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

using namespace quillmar;
using namespace std::string_literals;

static const std::string kFffd = "\xEF\xBF\xBD";

// Each row is also read as UTF-16LE bytes, whose text ends before the first
// zero unit: at the first 0 byte of the UTF-8.
TEST(Utf16ToUtf8, EncodesEachLengthAndReplacesUnpairedSurrogates) {
  const struct { std::u16string units; std::string utf8; } rows[] = {
      {u"A\u007F\u0080\u07FF\u4100", "A\x7F\xC2\x80\xDF\xBF\xE4\x84\x80"},
      {u"\u0800\uD7FF\uE000\uFFFF", "\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"},
      {{0xD83D, 0xDE00, 0xDBFF, 0xDFFF}, "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {{0xD800, 'a', 0xDBFF}, kFffd + "a" + kFffd},
      {{0xD800, 0xD83D, 0xDE00}, kFffd + "\xF0\x9F\x98\x80"},
      {{0xDC00, 0xD800, 0, 0xDC00}, kFffd + kFffd + '\0' + kFffd},
  };
  for (const auto& row : rows) {
    std::string bytes;
    for (char16_t unit : row.units) bytes += {char(unit & 0xFF), char(unit >> 8)};
    EXPECT_EQ(utf16_to_utf8(row.units), row.utf8) << testing::PrintToString(row.units);
    EXPECT_EQ(utf16le_bytes_to_utf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              row.utf8.substr(0, row.utf8.find('\0')))
        << "as bytes: " << testing::PrintToString(row.units);
  }
  EXPECT_EQ(utf16le_bytes_to_utf8(reinterpret_cast<const uint8_t*>("A\0B"), 3), "A");  // odd byte
  EXPECT_EQ(utf16le_bytes_to_utf8(nullptr, 8), "");
}

// With 32-bit wchar_t (Linux) each unit is a code point; with 16-bit
// wchar_t (Windows) the text is UTF-16.
TEST(WideToUtf8, TakesEachUnitAsACodePointAndReplacesInvalidOnes) {
  const bool utf32 = sizeof(wchar_t) == 4;
  const auto unit = [](long value) { return std::wstring(1, static_cast<wchar_t>(value)); };
  std::vector<std::pair<std::wstring, std::string>> rows = {
      {L"a\0\u00E9\u0800\uFFFF"s, "a\0\xC3\xA9\xE0\xA0\x80\xEF\xBF\xBF"s},
      {L"\uD7FF\uE000\U00010000\U0010FFFF",
       "\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {unit(0xD800), kFffd}, {unit(0xDFFF), kFffd}, {unit(0xDFFF) + L"a" + unit(0xD800), kFffd + "a" + kFffd},
      {unit(0xD83D) + unit(0xDE00), utf32 ? kFffd + kFffd : "\xF0\x9F\x98\x80"},
  };
  if (utf32) rows.insert(rows.end(), {{unit(0x110000), kFffd}, {unit(-1), kFffd}});
  for (const auto& [text, utf8] : rows) {
    EXPECT_EQ(wide_to_utf8(text), utf8) << testing::PrintToString(text);
  }
}
