#include "host_arguments.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace pst2txt {
namespace {

TEST(Utf8ToWide, DecodesValidTextAndRejectsMalformedText) {
  const struct {
    std::string utf8;
    std::wstring wide;
  } valid[] = {
      {"", L""},
      {"archive.pst", L"archive.pst"},
      {"\xC3\xA9t\xC3\xA9", L"\u00e9t\u00e9"},
      {"\xE2\x82\xAC", L"\u20ac"},
      {"\xF0\x9F\x98\x80", L"\U0001F600"},
      {"\xF4\x8F\xBF\xBF", L"\U0010FFFF"},
  };
  for (const auto& c : valid) {
    EXPECT_EQ(utf8_to_wide(c.utf8), c.wide) << c.utf8;
  }
  const std::string invalid[] = {
      "\x80",              // continuation byte first
      "\xC3",              // cut sequence
      "\xC0\xAF",          // overlong '/'
      "\xE0\x80\xAF",      // overlong '/'
      "\xED\xA0\x80",      // surrogate D800
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xFF",
      "ok\xC3(",
  };
  for (const std::string& text : invalid) {
    EXPECT_EQ(utf8_to_wide(text), std::nullopt) << testing::PrintToString(text);
  }
}

TEST(ParseArguments, AcceptsTheDocumentedForms) {
  std::string error;
  auto options = parse_arguments({"--force", "a.pst", "out"}, &error);
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->force);
  EXPECT_EQ(options->archive, "a.pst");
  EXPECT_EQ(options->output_dir, "out");
  options = parse_arguments({"--library", "/x/QuillmarPST.so", "--", "-a.pst", "out"}, &error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->library, "/x/QuillmarPST.so");
  EXPECT_EQ(options->archive, "-a.pst");
  EXPECT_TRUE(parse_arguments({"--version"}, &error)->version);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"a.pst"}, {"a", "b", "c"}, {"--bogus", "a", "b"}, {"--library"}}) {
    EXPECT_FALSE(parse_arguments(bad, &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(OutputDirAcceptable, RefusesANonEmptyDirectoryUnlessForced) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("pst2txt_test_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  std::string reason;
  EXPECT_TRUE(output_dir_acceptable(dir.string(), false, &reason)) << "missing";
  fs::create_directories(dir);
  EXPECT_TRUE(output_dir_acceptable(dir.string(), false, &reason)) << "empty";
  std::ofstream(dir / "left_over") << "x";
  EXPECT_FALSE(output_dir_acceptable(dir.string(), false, &reason));
  EXPECT_NE(reason.find("--force"), std::string::npos);
  EXPECT_TRUE(output_dir_acceptable(dir.string(), true, &reason));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace pst2txt
