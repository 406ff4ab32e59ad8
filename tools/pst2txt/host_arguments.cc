#include "host_arguments.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace pst2txt {
namespace {

// Length of the UTF-8 sequence that starts with lead, 0 for an invalid lead.
int sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The field an option that takes a text value fills, or null.
std::string* text_option(const std::string& arg, Options& options) {
  if (arg == "--library") return &options.library;
  if (arg == "--report") return &options.report;
  if (arg == "-o" || arg == "--output-root") return &options.output_root;
  return nullptr;
}

std::optional<double> positive_number(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(value > 0) || value > 1e9) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::wstring> utf8_to_wide(std::string_view text) {
  constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  std::wstring wide;
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const int length = sequence_length(lead);
    if (length == 0 || i + static_cast<size_t>(length) > text.size()) return std::nullopt;
    char32_t code = length == 1 ? lead : (lead & (0x7F >> length));
    for (int k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return std::nullopt;
    }
    if (sizeof(wchar_t) == 2 && code > 0xFFFF) {
      wide.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      wide.push_back(static_cast<wchar_t>(code));
    }
    i += static_cast<size_t>(length);
  }
  return wide;
}

std::optional<Options> parse_arguments(const std::vector<std::string>& args,
                                       std::string* error) {
  Options options;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "-f" || arg == "--force") {
      options.force = true;
    } else if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--no-check") {
      options.check = false;
    } else if (arg == "--check") {
      options.check_only = true;
    } else if (std::string* text = text_option(arg, options)) {
      if (i + 1 == args.size()) {
        *error = arg + " needs a value";
        return std::nullopt;
      }
      *text = args[++i];
    } else if (arg == "-j" || arg == "--jobs" || arg == "--timeout") {
      const std::optional<double> number =
          i + 1 < args.size() ? positive_number(args[i + 1]) : std::nullopt;
      if (!number || (arg != "--timeout" && (*number != static_cast<int>(*number) ||
                                             *number > 1024))) {
        *error = arg + " needs a positive " + (arg == "--timeout" ? "number" : "whole number");
        return std::nullopt;
      }
      ++i;
      if (arg == "--timeout") {
        options.timeout_seconds = *number;
      } else {
        options.jobs = static_cast<int>(*number);
      }
    } else if (arg == "--") {
      positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return std::nullopt;
    } else {
      positional.push_back(arg);
    }
  }
  if (options.help || options.version) return options;
  if (!options.output_root.empty()) {
    if (positional.empty()) {
      *error = "expected at least one ARCHIVE after -o OUTPUT_ROOT";
      return std::nullopt;
    }
    options.archives = positional;
    return options;
  }
  if (positional.size() != 2) {
    *error = "expected ARCHIVE and OUTPUT_DIR";
    return std::nullopt;
  }
  options.archives = {positional[0]};
  options.output_dir = positional[1];
  return options;
}

bool output_dir_acceptable(const std::string& path, bool force, std::string* reason) {
  if (force) return true;
  std::error_code error;
  const std::filesystem::path where = std::filesystem::u8path(path);
  if (!std::filesystem::exists(where, error)) return true;
  if (!std::filesystem::is_directory(where, error)) return true;  // the library reports it
  if (std::filesystem::directory_iterator(where, error) == std::filesystem::directory_iterator() &&
      !error) {
    return true;
  }
  *reason = "output directory " + path +
            " is not empty; message directories of an earlier, larger export would stay "
            "beside this one's (use --force to export anyway)";
  return false;
}

}  // namespace pst2txt
