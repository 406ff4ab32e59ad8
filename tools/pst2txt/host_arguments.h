// Argument handling of the pst2txt host, kept apart from main() for tests.
#ifndef QUILLMAR_TOOLS_PST2TXT_HOST_ARGUMENTS_H_
#define QUILLMAR_TOOLS_PST2TXT_HOST_ARGUMENTS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pst2txt {

// Strict UTF-8 decoding into wchar_t text: code points where wchar_t has 32
// bits, UTF-16 where it has 16 (the library's paths on each platform);
// nothing for malformed input (overlong forms, surrogates, values above
// U+10FFFF, cut sequences).
std::optional<std::wstring> utf8_to_wide(std::string_view text);

struct Options {
  bool help = false;
  bool version = false;
  bool force = false;           // export even into a non-empty directory
  bool quiet = false;           // no progress line, even on a terminal
  bool check = true;            // the completeness check after each export
  bool check_only = false;      // check an earlier export, export nothing
  int jobs = 0;                 // archives at a time; 0: one per core
  double timeout_seconds = 0;   // per archive; 0: none
  std::string library;          // explicit path of the library, or empty
  std::string report;           // JSON report file, or empty
  std::string output_root;      // batch: each archive into output_root/<stem>
  std::vector<std::string> archives;  // UTF-8 paths; one unless batch
  std::string output_dir;       // UTF-8 path of the output directory (one archive)
};

// Parses argv[1..]: ARCHIVE OUTPUT_DIR, or with -o OUTPUT_ROOT one or more
// archives. On a usage error returns nothing and sets error.
std::optional<Options> parse_arguments(const std::vector<std::string>& args,
                                       std::string* error);

// Whether the host may export into path: it does not exist, or it is an
// empty directory, or force is set. Sets reason when it may not.
bool output_dir_acceptable(const std::string& path, bool force, std::string* reason);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_HOST_ARGUMENTS_H_
