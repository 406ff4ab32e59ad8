#include "host_arguments.h"

#include <cstdio>
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

// The options as flags h, v, f, q, n (no check), c (check only) and
// [library|archives|output|root|jobs|timeout|report], or the error.
static std::string parsed(const std::vector<std::string>& args) {
  std::string error;
  const std::optional<Options> o = parse_arguments(args, &error);
  if (!o) return "error: " + error;
  std::string archives;
  for (const std::string& archive : o->archives) archives += (archives.empty() ? "" : ",") + archive;
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "%d|%g", o->jobs, o->timeout_seconds);
  return std::string(o->help ? "h" : "") + (o->version ? "v" : "") + (o->force ? "f" : "") +
         (o->quiet ? "q" : "") + (o->check ? "" : "n") + (o->check_only ? "c" : "") + "[" +
         o->library + "|" + archives + "|" + o->output_dir + "|" + o->output_root + "|" +
         numbers + "|" + o->report + "]";
}

TEST(ParseArguments, AcceptsTheDocumentedForms) {
  const std::string usage = "error: expected ARCHIVE and OUTPUT_DIR";
  const struct { std::vector<std::string> args; std::string expected; } rows[] = {
      {{"--force", "a.pst", "out"}, "f[|a.pst|out||0|0|]"}, {{"--version"}, "v[||||0|0|]"},
      {{"a", "-f", "-", "--library", "/x/Q.so"}, "f[/x/Q.so|a|-||0|0|]"},
      {{"x", "-h"}, "h[||||0|0|]"}, {{"--", "--force", "-a"}, "[|--force|-a||0|0|]"},
      {{"a", "b", "c"}, usage}, {{"a", "b", "--bogus"}, "error: unknown option --bogus"},
      {{"-o", "r", "a", "b", "c", "-j", "3", "--timeout", "2.5", "--report", "j", "-q"},
       "q[|a,b,c||r|3|2.5|j]"},
      {{"--no-check", "--check", "a", "o"}, "nc[|a|o||0|0|]"},
      {{"-o", "r"}, "error: expected at least one ARCHIVE after -o OUTPUT_ROOT"},
      {{"-o", "r", "a", "-j", "0"}, "error: -j needs a positive whole number"},
      {{"-o", "r", "a", "-j", "1.5"}, "error: -j needs a positive whole number"},
      {{"a", "o", "--timeout", "-1"}, "error: --timeout needs a positive number"},
      {{"a", "o", "--timeout"}, "error: --timeout needs a positive number"},
      {{"a", "o", "--report"}, "error: --report needs a value"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(parsed(row.args), row.expected) << testing::PrintToString(row.args);
  }
}
