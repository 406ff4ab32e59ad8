#include "cli_options.h"

#include <cstdint>
#include <limits>

namespace pstgen {
namespace {

constexpr uint64_t kMaxAttachmentSize = uint64_t{1} << 30;  // one value must stay below 4 GiB of node data
constexpr uint64_t kMaxMessages = 100000000;                // message NID indices stay within 27 bits

// "123", "64k", "2M", "1g" (binary multiples). False for anything else or on overflow.
bool parse_size(const std::string& text, uint64_t& out) {
  if (text.empty()) return false;
  uint64_t value = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  if (i == 0) return false;
  uint64_t unit = 1;
  if (i + 1 == text.size()) {
    switch (text[i]) {
      case 'k': case 'K': unit = uint64_t{1} << 10; break;
      case 'm': case 'M': unit = uint64_t{1} << 20; break;
      case 'g': case 'G': unit = uint64_t{1} << 30; break;
      default: return false;
    }
  } else if (i != text.size()) {
    return false;
  }
  if (value > UINT64_MAX / unit) return false;
  out = value * unit;
  return true;
}

struct NumericOption {
  const char* name;
  uint64_t max;
  uint64_t GeneratorOptions::*wide;    // set when the field is 64-bit
  uint32_t GeneratorOptions::*narrow;  // set when the field is 32-bit
};

constexpr uint64_t kU32 = std::numeric_limits<uint32_t>::max();
const NumericOption kNumericOptions[] = {
    {"messages", kMaxMessages, &GeneratorOptions::messages, nullptr},
    {"folders", 100000, nullptr, &GeneratorOptions::folders},
    {"attachments-per-message", 10000, nullptr, &GeneratorOptions::attachments_per_message},
    {"attachment-every", kU32, nullptr, &GeneratorOptions::attachment_every},
    {"attachment-size", kMaxAttachmentSize, &GeneratorOptions::attachment_size, nullptr},
    {"attachment-size-min", kMaxAttachmentSize, &GeneratorOptions::attachment_size_min, nullptr},
    {"attachment-size-max", kMaxAttachmentSize, &GeneratorOptions::attachment_size_max, nullptr},
    {"body-size", kMaxAttachmentSize / 2, &GeneratorOptions::body_size, nullptr},
    {"header-size-min", 1 << 20, &GeneratorOptions::header_size_min, nullptr},
    {"header-size-max", 1 << 20, &GeneratorOptions::header_size_max, nullptr},
    {"max-recipients", 10000, nullptr, &GeneratorOptions::max_recipients},
    {"seed", UINT64_MAX, &GeneratorOptions::seed, nullptr},
};

// Applies "--name value"; returns an error text or "".
std::string apply(const std::string& name, const std::string& value, CliOptions& out) {
  for (const NumericOption& opt : kNumericOptions) {
    if (name != opt.name) continue;
    uint64_t number = 0;
    if (!parse_size(value, number) || number > opt.max) return "invalid value for --" + name + ": " + value;
    if (opt.wide != nullptr) out.generator.*opt.wide = number;
    if (opt.narrow != nullptr) out.generator.*opt.narrow = static_cast<uint32_t>(number);
    return "";
  }
  return "unknown option --" + name;
}

std::string check(const CliOptions& out) {
  const GeneratorOptions& g = out.generator;
  if (out.output.empty()) return "missing output file";
  if (g.attachment_size_min > g.attachment_size_max && g.attachment_size_max != 0) {
    return "--attachment-size-min is above --attachment-size-max";
  }
  if (g.header_size_min > g.header_size_max) return "--header-size-min is above --header-size-max";
  if (g.attachment_every == 0) return "--attachment-every must be at least 1";
  return "";
}

}  // namespace

std::string parse_cli(const std::vector<std::string>& args, CliOptions& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      out.help = true;
      return "";
    }
    if (arg == "--quiet") {
      out.quiet = true;
    } else if (arg == "--store-folder-identifier") {
      out.generator.store_folder_identifier = true;
    } else if (arg == "--group-by-folder") {
      out.generator.group_by_folder = true;
    } else if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      if (eq == std::string::npos && i + 1 >= args.size()) return "missing value for " + arg;
      const std::string value = eq != std::string::npos ? arg.substr(eq + 1) : args[++i];
      const std::string error = apply(name, value, out);
      if (!error.empty()) return error;
    } else if (out.output.empty()) {
      out.output = arg;
    } else {
      return "unexpected argument: " + arg;
    }
  }
  return check(out);
}

std::string usage_text() {
  return "Usage: pstgen [options] OUT.pst\n"
         "Writes a deterministic synthetic Unicode PST archive.\n\n"
         "  --messages N                 messages (default 1000)\n"
         "  --folders F                  mail folders below the IPM subtree, nested after\n"
         "                               the first five (default 10)\n"
         "  --attachments-per-message A  attachments on each message that has some (default 0)\n"
         "  --attachment-every K         messages 1, 1+K, 1+2K... have attachments (default 1)\n"
         "  --attachment-size S          attachment size (default 0)\n"
         "  --attachment-size-min S      with --attachment-size-max: sizes uniform in [min, max]\n"
         "  --attachment-size-max S\n"
         "  --body-size B                plain-text body size (default 2000)\n"
         "  --header-size-min S          transport header size range (default 1024..2048)\n"
         "  --header-size-max S\n"
         "  --max-recipients R           To and Cc recipients per message, 1..R (default 4)\n"
         "  --seed X                     random seed; same seed, same file (default 1)\n"
         "  --store-folder-identifier    write the store's 0x35E0 as a 32-bit folder id\n"
         "                               (the first mail folder) instead of an entry ID\n"
         "  --group-by-folder            give each folder's messages one NID range instead of\n"
         "                               arrival order (libpff then opens large archives in\n"
         "                               linear rather than quadratic time)\n"
         "  --quiet                      no summary line\n"
         "  --help                       this text\n\n"
         "Sizes accept a k, M or G suffix (binary multiples).\n";
}

}  // namespace pstgen
