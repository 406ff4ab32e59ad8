// Text and file names at the Windows API, for the *_windows.cc files only
// (defined in host_platform_windows.cc).
#ifndef QUILLMAR_TOOLS_PST2TXT_WINDOWS_NAMES_H_
#define QUILLMAR_TOOLS_PST2TXT_WINDOWS_NAMES_H_

#include <string>
#include <string_view>

namespace pst2txt {

// UTF-8 to UTF-16 and back; malformed input becomes U+FFFD.
std::wstring to_wide(std::string_view text);
std::string to_utf8(std::wstring_view wide);

// path as the file API takes it beyond MAX_PATH: full, with backslashes,
// extended-length (\\?\C:\..., \\?\UNC\server\...).
std::wstring system_path(const std::string& path);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_WINDOWS_NAMES_H_
