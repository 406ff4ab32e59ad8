// What pst2txt tells its user about a run of one or more archives: the
// progress line, the closing table, the JSON report and the exit status.
// Pure text functions over the outcomes the jobs collected.
#ifndef QUILLMAR_TOOLS_PST2TXT_RUN_SUMMARY_H_
#define QUILLMAR_TOOLS_PST2TXT_RUN_SUMMARY_H_

#include <cstdint>
#include <string>
#include <vector>

namespace pst2txt {

enum class Result {
  kComplete,    // exported, and the check found everything
  kExported,    // exported, not checked (--no-check)
  kIncomplete,  // exported or checked, and something is missing
  kDamaged,     // nothing missing, but some of it was read from damaged blocks
  kFailed,      // the library returned a negative code, or the job could not start
  kCrashed,     // the export's process died of a signal or an exception
  kTimedOut,    // killed after --timeout seconds
};

struct ArchiveOutcome {
  std::string archive;           // as given on the command line
  std::string output_dir;        // where its messages went
  Result result = Result::kFailed;
  int64_t code = 0;              // library result, or the signal or exception code
  std::string crash;             // what ended a crashed export: "signal 6", "exception 0xC0000005"
  uint64_t messages = 0;         // messages the library reports written
  uint64_t attachments = 0;      // files under the message directories' pj/
  uint64_t bytes = 0;            // bytes of every file written
  double seconds = 0;
  bool checked = false;          // the completeness check ran to its end
  uint64_t reached = 0;          // messages the check's walks reached
  uint64_t written = 0;          // of those, found written
  uint64_t empty = 0;            // of those, empty (not written by design)
  std::vector<std::string> missing;  // what the check found missing
  std::vector<std::string> damaged;  // what the check read from damaged blocks
};

// "1234/20000 messages, 850/s, 21 s left"; without a total (0), the count
// and the rate only; no rate or estimate before the first second.
std::string progress_text(uint64_t done, uint64_t total, double elapsed_seconds);

// "complete", "exported", "incomplete", "damaged", "failed (code -3)",
// "crashed (signal 6)", "crashed (exception 0xC0000005)" or "timed out".
std::string result_text(const ArchiveOutcome& outcome);

// Fixed-width table: archive, result, messages, attachments, bytes, seconds.
std::string summary_table(const std::vector<ArchiveOutcome>& outcomes);

// {"archives": [{...}, ...]} with every field of ArchiveOutcome.
std::string json_report(const std::vector<ArchiveOutcome>& outcomes);

// 1 when any archive failed, crashed or timed out; else 3 when something
// is missing; else 4 when something was read from damaged blocks; else 0
// (every archive complete or exported).
int exit_status(const std::vector<ArchiveOutcome>& outcomes);

// Output directory names for archives: each one's file stem, with "_2",
// "_3"... for stems already given, compared ignoring case and with the
// console log's name "<name>.log" kept free as well.
std::vector<std::string> output_names(const std::vector<std::string>& archives);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_RUN_SUMMARY_H_
