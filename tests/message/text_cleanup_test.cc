#include "message/text_cleanup.h"

#include <string>

#include <gtest/gtest.h>

namespace quillmar {
namespace {

using namespace std::string_literals;

struct Row {
  std::string input;
  std::string expected;
};

TEST(TrimWhitespace, CutsExactlyTheSixWhiteSpaceBytesAtBothEnds) {
  const Row rows[] = {
      {"", ""},
      {" \t\r\n\v\f", ""},
      {"\r\n  a b \t\r\n", "a b"},
      {"a\t \tb", "a\t \tb"},                    // inner white space stays
      {"\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},  // UTF-8 no-break space stays
      {"\x85x\xA0", "\x85x\xA0"},                // Latin-1 spaces are no spaces
      {"\0x\0"s, "\0x\0"s},                      // NUL is no space
      {"\x1Fx\x7F", "\x1Fx\x7F"},
      {"\x08x\x0E", "\x08x\x0E"},                // neighbours of TAB..CR
  };
  for (const Row& row : rows) {
    EXPECT_EQ(trim_whitespace(row.input), row.expected) << "input: " << row.input;
  }
}

TEST(ToAsciiLower, LowersOnlyAToZ) {
  const Row rows[] = {
      {"", ""},
      {"Hello WORLD 09 @[`{", "hello world 09 @[`{"},  // bytes around A..Z
      {"\xC3\x89T\xC3\x89", "\xC3\x89t\xC3\x89"},       // non-ASCII capitals stay
      {"\xC1\xDA", "\xC1\xDA"},                         // Latin-1 capitals stay
  };
  for (const Row& row : rows) {
    EXPECT_EQ(to_ascii_lower(row.input), row.expected) << "input: " << row.input;
  }
}

TEST(CleanSubject, DropsControlBytesButTabThenTrims) {
  const Row rows[] = {
      {"", "(sans sujet)"},
      {" \t\r\n", "(sans sujet)"},
      {"\x01\x1F\0"s, "(sans sujet)"},
      {"(sans sujet)", "(sans sujet)"},
      {"Hello\r\n World", "Hello World"},           // folded line joins
      {"Hel\0lo"s, "Hello"},                         // NUL vanishes, no gap
      {"a\tb", "a\tb"},
      {"\ta\tb\t", "a\tb"},
      {"\va\f", "a"},                                // VT and FF are dropped
      {"a\x7F\x80\xFF", "a\x7F\x80\xFF"},            // 0x7F and up are kept
      {"\x01 x \x02", "x"},                          // drop first, then trim
  };
  for (const Row& row : rows) {
    std::string once = clean_subject(row.input);
    EXPECT_EQ(once, row.expected) << "input: " << row.input;
    EXPECT_EQ(clean_subject(once), once) << "not idempotent for: " << row.input;
  }
}

TEST(SanitizeFileName, ReplacesForbiddenAndControlBytesAndStripsTheTail) {
  const Row rows[] = {
      {"", "fichier"},
      {".", "fichier"},
      {"...", "fichier"},
      {" . . ", "fichier"},
      {"   ", "fichier"},
      {"a\\b/c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
      {"\ta\n", "_a_"},                              // TAB and LF are not trimmed
      {"\0x\x1F"s, "_x_"},
      {"a\x7F\x80\xE9", "a\x7F\x80\xE9"},
      {"report.pdf. . .", "report.pdf"},
      {"  .hidden", ".hidden"},
      {"name.", "name"},
      {"a ..b", "a ..b"},
      {"CON", "CON"},
      {"a:.", "a_"},                                  // replaced byte ends the strip
  };
  for (const Row& row : rows) {
    EXPECT_EQ(sanitize_file_name(row.input), row.expected) << "input: " << row.input;
  }
  std::string long_name(300, 'n');
  EXPECT_EQ(sanitize_file_name(long_name), long_name);
}

}  // namespace
}  // namespace quillmar
