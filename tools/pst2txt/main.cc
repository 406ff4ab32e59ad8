// pst2txt: exports PST/OST archives with the QuillmarPST library, loaded at
// run time through its two C entry points the way a host does. Each archive
// is exported in a child process, then checked for completeness.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "archive_job.h"
#include "host_arguments.h"
#include "host_platform.h"
#include "job_process.h"
#include "library_loader.h"
#include "platform/platform.h"
#include "run/block_damage.h"
#include "run_summary.h"

namespace {

// This program's own lines, written as the library writes its console text
// (UTF-16 to a Windows console, so that any name shows).
void say(const std::string& line) { quillmar::write_standard_output(line + "\n"); }
void complain(const std::string& line) { quillmar::write_standard_error(line + "\n"); }

void print_usage(bool to_error) {
  const std::string usage =
      std::string(
          "usage: pst2txt [options] ARCHIVE OUTPUT_DIR\n"
          "       pst2txt [options] [-j N] [--timeout S] -o OUTPUT_ROOT ARCHIVE...\n"
          "       pst2txt --version | --help\n"
          "\n"
          "Exports every message of a PST/OST archive into OUTPUT_DIR, one directory\n"
          "per message, then checks that everything the archive holds was written:\n"
          "\"complete\", or a list of what is missing and exit status 3. When nothing\n"
          "is missing but some of it was read from damaged blocks (a checksum or a\n"
          "back pointer that does not match, a damaged index page): \"damaged\", a\n"
          "list of the messages, attachments and folders concerned, and exit status 4.\n") +
      (quillmar::damage_is_visible()
           ? ""
           : "This build reads archives with the system's libpff, which does not count\n"
             "damaged blocks: it cannot see them, and \"damaged\" never appears.\n") +
      "With -o, exports each ARCHIVE into OUTPUT_ROOT/<its stem> (its console\n"
      "lines into OUTPUT_ROOT/<stem>.log), N at a time (default: one per core),\n"
      "each in a process of its own, and prints a table at the end.\n"
      "\n"
      "  -f, --force      export even into a non-empty directory\n"
      "  -q, --quiet      no progress line on a terminal\n"
      "  --no-check       skip the completeness check\n"
      "  --check          only check an earlier export into the same directory\n"
      "  --timeout S      stop an archive's export after S seconds\n"
      "  --report FILE    the whole run as JSON\n"
      "  --library PATH   " QUILLMAR_LIBRARY_FILE_NAME
      " to load; otherwise $QUILLMAR_PST_LIBRARY,\n"
      "                   next to this program, ../" QUILLMAR_INSTALL_LIBDIR " from it, then the\n"
      "                   loader's search path\n"
      "\n"
      "Exit status: 0 all complete, 1 an export failed, crashed or timed out,\n"
      "2 usage, 3 something missing, 4 nothing missing but something damaged.";
  to_error ? complain(usage) : say(usage);
}

// The jobs the options describe; false with error when one cannot run.
bool plan_jobs(const pst2txt::Options& options, std::vector<pst2txt::ArchiveJob>* jobs,
               std::string* error) {
  std::vector<std::string> outputs = {options.output_dir};
  if (!options.output_root.empty()) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::u8path(options.output_root), ignored);
    outputs.clear();
    for (const std::string& name : pst2txt::output_names(options.archives)) {
      outputs.push_back(options.output_root + "/" + name);
    }
  }
  for (size_t i = 0; i < options.archives.size(); ++i) {
    if (!pst2txt::utf8_to_wide(options.archives[i]) || !pst2txt::utf8_to_wide(outputs[i])) {
      *error = (pst2txt::utf8_to_wide(options.archives[i]) ? "OUTPUT_DIR" : "ARCHIVE") +
               std::string(" is not valid UTF-8");
      return false;
    }
    if (!options.check_only &&
        !pst2txt::output_dir_acceptable(outputs[i], options.force, error)) {
      return false;
    }
    jobs->push_back({options.archives[i], outputs[i]});
  }
  return true;
}

// heading, then each line below it indented, on standard error.
void print_list(const std::string& heading, const std::vector<std::string>& lines) {
  complain(heading);
  for (const std::string& line : lines) complain("  " + line);
}

// One export: its result on standard error, with what is missing and what
// is damaged. A batch: only those two lists, below the table.
void print_verdict(const pst2txt::ArchiveOutcome& outcome, bool batch) {
  using pst2txt::Result;
  const std::string head = "pst2txt: " + (batch ? outcome.archive + ": " : std::string());
  const std::string damaged = "damaged: " + std::to_string(outcome.damaged.size()) + " damaged";
  const std::string counts = std::to_string(outcome.written) + " written, " +
                             std::to_string(outcome.empty) + " empty, " +
                             std::to_string(outcome.attachments) + " attachments";
  if (!batch) {
    if (outcome.result == Result::kFailed) {
      complain("pst2txt: export failed with code " + std::to_string(outcome.code));
    } else if (outcome.result == Result::kComplete) {
      complain("pst2txt: complete: " + counts);
    } else if (outcome.result == Result::kDamaged) {
      return print_list(head + damaged + ", " + counts, outcome.damaged);
    } else if (outcome.result != Result::kExported && outcome.result != Result::kIncomplete) {
      complain("pst2txt: " + pst2txt::result_text(outcome));
    }
  }
  if (!outcome.missing.empty() || (!outcome.checked && outcome.result == Result::kIncomplete)) {
    print_list(head + (outcome.checked ? "incomplete: " : "check not finished: ") +
                   std::to_string(outcome.missing.size()) + " missing",
               outcome.missing);
  }
  if (!outcome.damaged.empty()) print_list(head + damaged, outcome.damaged);
}

int run(const pst2txt::Options& options) {
  pst2txt::LoadedLibrary library;
  std::string error;
  if (!pst2txt::load_library(options.library, &library, &error)) {
    complain("pst2txt: " + error);
    return 2;
  }
  if (options.version) {
    say(library.version_fn());
    return 0;
  }
  std::vector<pst2txt::ArchiveJob> jobs;
  if (!plan_jobs(options, &jobs, &error)) {
    complain("pst2txt: " + error);
    return 2;
  }
  const bool batch = !options.output_root.empty();
  pst2txt::JobSettings settings;
  settings.export_fn = library.export_fn;
  settings.library_path = library.path;
  settings.export_archive = !options.check_only;
  settings.check = options.check || options.check_only;
  settings.parallel = options.jobs > 0 ? options.jobs
                      : batch ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
                              : 1;
  settings.timeout_seconds = options.timeout_seconds;
  settings.progress = !options.quiet && pst2txt::progress_terminal();
  settings.logs = batch;
  settings.measure_output = batch || !options.report.empty();
  const std::vector<pst2txt::ArchiveOutcome> outcomes = pst2txt::run_archive_jobs(jobs, settings);

  if (batch) quillmar::write_standard_output(pst2txt::summary_table(outcomes));
  std::fflush(stdout);
  for (const pst2txt::ArchiveOutcome& outcome : outcomes) print_verdict(outcome, batch);
  if (!options.report.empty()) {
    std::ofstream report(std::filesystem::u8path(options.report),
                         std::ios::binary | std::ios::trunc);
    report << pst2txt::json_report(outcomes);
    if (!report.flush()) {
      complain("pst2txt: cannot write " + options.report);
      return 1;
    }
  }
  return pst2txt::exit_status(outcomes);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = pst2txt::program_arguments(argc, argv);
  if (const std::optional<int> status = pst2txt::run_as_job_child(args)) return *status;
  std::string error;
  const std::optional<pst2txt::Options> options = pst2txt::parse_arguments(args, &error);
  if (!options) {
    complain("pst2txt: " + error);
    print_usage(true);
    return 2;
  }
  if (options->help) {
    print_usage(false);
    return 0;
  }
  return run(*options);
}
