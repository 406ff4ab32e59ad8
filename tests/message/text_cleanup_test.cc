#include "message/text_cleanup.h"

#include <string>

#include <gtest/gtest.h>

using namespace quillmar;
using namespace std::string_literals;

TEST(TextCleanup, TrimsLowersCleansSubjectsAndSanitizesFileNames) {
  const std::string long_name(300, 'n');
  const struct { std::string (*clean)(std::string); std::string input, expected; } rows[] = {
      {trim_whitespace, " \t\r\n\v\f", ""}, {trim_whitespace, "\r\n a\t b \t", "a\t b"},
      {trim_whitespace, "\x08 x \x0E", "\x08 x \x0E"},  // neighbours of TAB..CR
      {trim_whitespace, "\0 x \xA0"s, "\0 x \xA0"s},
      {to_ascii_lower, "AZ az @[`{ \xC3\x89\xC1", "az az @[`{ \xC3\x89\xC1"},
      {clean_subject, " \t\r\n\x01\x1F\0"s, "(sans sujet)"}, {clean_subject, "\ta\v\tb\f", "a\tb"},
      {clean_subject, "Hel\0lo\r\n World"s, "Hello World"},
      {clean_subject, "\x01 x \x7F\x80\xFF\x02", "x \x7F\x80\xFF"},
      {sanitize_file_name, " . . ", "fichier"}, {sanitize_file_name, "\ta\n", "_a_"},
      {sanitize_file_name, "a\\b/c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
      {sanitize_file_name, "\0x\x1F\x7F\x80"s, "_x_\x7F\x80"}, {sanitize_file_name, "a:.", "a_"},
      {sanitize_file_name, "  .hidden. .", ".hidden"}, {sanitize_file_name, "a ..b", "a ..b"},
      {sanitize_file_name, long_name, long_name},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.clean(row.input), row.expected) << "[" << row.input << "]";
  }
}
