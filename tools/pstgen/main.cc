// pstgen: writes a synthetic Unicode PST archive; see usage_text().
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli_options.h"
#include "generator.h"
#include "platform.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = pstgen::utf8_arguments(argc, argv);
  pstgen::CliOptions options;
  const std::string error = pstgen::parse_cli(args, options);
  if (!error.empty()) {
    std::fprintf(stderr, "pstgen: %s\n\n%s", error.c_str(), pstgen::usage_text().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(pstgen::usage_text().c_str(), stdout);
    return 0;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    const pstgen::GeneratorReport report = pstgen::generate_archive(options.generator, options.output);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!options.quiet) {
      std::printf("%s: %llu messages, %llu attachments, %u folders, %llu bytes, %.2f s\n", options.output.c_str(),
                  static_cast<unsigned long long>(report.messages),
                  static_cast<unsigned long long>(report.attachments), report.folders,
                  static_cast<unsigned long long>(report.file_size), elapsed.count());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pstgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
