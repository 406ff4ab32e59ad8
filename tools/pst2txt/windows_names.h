// Text and file names at the Windows API, for the *_windows.cc files only
// (defined in host_platform_windows.cc).
#ifndef QUILLMAR_TOOLS_PST2TXT_WINDOWS_NAMES_H_
#define QUILLMAR_TOOLS_PST2TXT_WINDOWS_NAMES_H_

#include <string>
#include <string_view>

namespace pst2txt {

// UTF-8 to UTF-16; malformed input becomes U+FFFD.
std::wstring to_wide(std::string_view text);

// A UTF-8 path as the file API takes it beyond MAX_PATH: the library's
// extended-length form (\\?\C:\..., \\?\UNC\server\...).
std::wstring system_path(const std::string& path);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_WINDOWS_NAMES_H_
