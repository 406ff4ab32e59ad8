// How the Windows implementation names files to the system (Windows only).
#ifndef QUILLMAR_PLATFORM_WINDOWS_NAMES_H_
#define QUILLMAR_PLATFORM_WINDOWS_NAMES_H_

#include <filesystem>
#include <string>

namespace quillmar {

// The extended-length form of path: absolute and normalised ("." and ".."
// resolved, '/' made '\'), with "\\?\" in front, or "\\?\UNC\" for a share
// ("\\server\share\..."), so that no component is reinterpreted and no limit
// but the system's 32,767 units applies. A name already in that form, or a
// device name ("\\.\..."), is kept as it is.
std::wstring extended_length_name(const std::filesystem::path& path);

}  // namespace quillmar

#endif  // QUILLMAR_PLATFORM_WINDOWS_NAMES_H_
