// The names the Windows implementation gives the system (Windows only).
#include <windows.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/windows_names.h"

namespace quillmar {
namespace {

std::wstring current_directory() {
  std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
  directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
  if (directory.back() != L'\\') directory += L'\\';
  return directory;
}

TEST(ExtendedLengthName, IsAbsoluteNormalisedAndPrefixed) {
  const std::wstring here = current_directory();
  const struct {
    std::filesystem::path given;
    std::wstring expected;
  } rows[] = {
      {L"C:\\a\\b", LR"(\\?\C:\a\b)"},
      {L"C:/a/b/", LR"(\\?\C:\a\b\)"},
      {L"C:\\a\\..\\b\\.\\c", LR"(\\?\C:\b\c)"},
      {LR"(\\server\share\d\e)", LR"(\\?\UNC\server\share\d\e)"},
      {LR"(\\?\C:\kept/as\..\is)", LR"(\\?\C:\kept/as\..\is)"},
      {LR"(\\.\NUL)", LR"(\\.\NUL)"},
      {L"out\\m", LR"(\\?\)" + here + L"out\\m"},
      // UTF-8 inside, UTF-16 with a surrogate pair outside.
      {std::filesystem::u8path("\xC3\xA9\xF0\x9F\x98\x80.pst"), LR"(\\?\)" + here + L"\u00E9\U0001F600.pst"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(extended_length_name(row.given), row.expected) << row.given.u8string();
  }
}

}  // namespace
}  // namespace quillmar
