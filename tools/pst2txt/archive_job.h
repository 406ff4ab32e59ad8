// Each archive exported in a child process of its own, a few at a time, so
// that a crash or a hang inside libpff ends that archive's job and nothing
// else. The child calls the library, then checks what it wrote, and tells
// the parent over a pipe; the parent keeps time, shows progress and kills
// what outlives its timeout.
#ifndef QUILLMAR_TOOLS_PST2TXT_ARCHIVE_JOB_H_
#define QUILLMAR_TOOLS_PST2TXT_ARCHIVE_JOB_H_

#include <cstdint>
#include <string>
#include <vector>

#include "run_summary.h"

namespace pst2txt {

using ExportFn = int32_t (*)(const wchar_t*, const wchar_t*);

struct ArchiveJob {
  std::string archive;     // UTF-8 path
  std::string output_dir;  // UTF-8 path
};

struct JobSettings {
  ExportFn export_fn = nullptr;
  std::string library_path;    // where export_fn was loaded from
  bool export_archive = true;  // false: only check what an earlier export wrote
  bool check = true;           // the completeness check after the export
  int parallel = 1;            // jobs at a time
  double timeout_seconds = 0;  // per job; 0: none
  bool progress = false;       // a progress line on standard error (a terminal)
  // Each job's console lines into "<output_dir>.log"; otherwise they are
  // this process's, byte for byte.
  bool logs = false;
  // Count the files and bytes each job wrote (a walk of its output); else
  // the attachments are those the check found.
  bool measure_output = false;
};

// Runs every job and returns their outcomes in the order given.
// REQUIRES: the calling process has no other threads (on POSIX it forks;
// on Windows the handles a child inherits are made inheritable only while
// it starts).
std::vector<ArchiveOutcome> run_archive_jobs(const std::vector<ArchiveJob>& jobs,
                                             const JobSettings& settings);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_ARCHIVE_JOB_H_
