#include "host_arguments.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace pst2txt;

TEST(Utf8ToWide, DecodesStrictUtf8AndRejectsEverythingElse) {
  const struct { std::string utf8; std::optional<std::wstring> wide; } rows[] = {
      {"a\xC3\xA9\xDF\xBF\xE2\x82\xAC", L"a\u00e9\u07ff\u20ac"},
      {"\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF", L"\ud7ff\ue000\uffff"},
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", L"\U00010000\U0010FFFF"},
      // Stray or cut sequences, overlong forms, surrogates, values above U+10FFFF.
      {"\x80", {}}, {"ok\xC3", {}}, {"ok\xC3(", {}}, {"\xC0\xAF", {}}, {"\xE0\x9F\xBF", {}},
      {"\xF0\x8F\xBF\xBF", {}}, {"\xED\xA0\x80", {}}, {"\xED\xBF\xBF", {}},
      {"\xF4\x90\x80\x80", {}}, {"\xFF", {}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(utf8_to_wide(row.utf8), row.wide) << testing::PrintToString(row.utf8);
  }
}

// The options as flags h, v, f and [library|archive|output], or the error.
static std::string parsed(const std::vector<std::string>& args) {
  std::string error;
  const std::optional<Options> o = parse_arguments(args, &error);
  if (!o) return "error: " + error;
  return std::string(o->help ? "h" : "") + (o->version ? "v" : "") + (o->force ? "f" : "") +
         "[" + o->library + "|" + o->archive + "|" + o->output_dir + "]";
}

TEST(ParseArguments, AcceptsTheDocumentedForms) {
  const std::string usage = "error: expected ARCHIVE and OUTPUT_DIR";
  const struct { std::vector<std::string> args; std::string expected; } rows[] = {
      {{"--force", "a.pst", "out"}, "f[|a.pst|out]"}, {{"--version"}, "v[||]"},
      {{"a", "-f", "-", "--library", "/x/Q.so"}, "f[/x/Q.so|a|-]"}, {{"x", "-h"}, "h[||]"},
      {{"--", "--force", "-a"}, "[|--force|-a]"}, {{"a", "b", "c"}, usage},
      {{"a", "b", "--bogus"}, "error: unknown option --bogus"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(parsed(row.args), row.expected) << testing::PrintToString(row.args);
  }
}
