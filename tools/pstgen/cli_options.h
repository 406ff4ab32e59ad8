// Command-line parsing of the pstgen program.
#ifndef PSTGEN_CLI_OPTIONS_H_
#define PSTGEN_CLI_OPTIONS_H_

#include <string>
#include <vector>

#include "generator.h"

namespace pstgen {

struct CliOptions {
  GeneratorOptions generator;
  std::string output;     // the archive to write
  bool help = false;      // --help: print usage_text() and stop
  bool quiet = false;     // no summary line
};

// Parses `args` (without the program name). Every option takes one value
// ("--name value" or "--name=value"), except the flags --help, --quiet,
// --store-folder-identifier and --group-by-folder. Returns an empty string on success, else the
// error to show the user; with --help, parsing stops there successfully.
std::string parse_cli(const std::vector<std::string>& args, CliOptions& out);

std::string usage_text();

}  // namespace pstgen

#endif  // PSTGEN_CLI_OPTIONS_H_
