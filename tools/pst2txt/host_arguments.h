// Argument handling of the pst2txt host, kept apart from main() for tests.
#ifndef QUILLMAR_TOOLS_PST2TXT_HOST_ARGUMENTS_H_
#define QUILLMAR_TOOLS_PST2TXT_HOST_ARGUMENTS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pst2txt {

// Strict UTF-8 decoding into wchar_t code points; nothing for malformed
// input (overlong forms, surrogates, values above U+10FFFF, cut sequences).
std::optional<std::wstring> utf8_to_wide(std::string_view text);

struct Options {
  bool help = false;
  bool version = false;
  bool force = false;           // export even into a non-empty directory
  std::string library;          // explicit path of QuillmarPST.so, or empty
  std::string archive;          // UTF-8 path of the archive
  std::string output_dir;       // UTF-8 path of the output directory
};

// Parses argv[1..]; on a usage error returns nothing and sets error.
std::optional<Options> parse_arguments(const std::vector<std::string>& args,
                                       std::string* error);

// Whether the host may export into path: it does not exist, or it is an
// empty directory, or force is set. Sets reason when it may not.
bool output_dir_acceptable(const std::string& path, bool force, std::string* reason);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_HOST_ARGUMENTS_H_
