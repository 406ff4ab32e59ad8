#include "archive_job.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <thread>

#include "completeness_check.h"
#include "export_progress.h"
#include "host_arguments.h"
#include "host_platform.h"
#include "job_process.h"
#include "platform/platform.h"
#include "quillmar_pst.h"
#include "run/parallel_export.h"

namespace pst2txt {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kClearLine[] = "\r\033[K";

// "<key>TEXT\n" per line, line breaks inside TEXT made spaces.
std::string report_lines(const std::string& key, const std::vector<std::string>& lines) {
  std::string report;
  for (std::string line : lines) {
    for (char& c : line) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    report += key + line + "\n";
  }
  return report;
}

// Whether the check's lines are told after an export that returned result:
// also after an exception ended the run part way, for what it left.
bool check_told(int32_t result) {
  return result >= 0 || result <= PST_EXPORT_ERR_STD_EXCEPTION;
}

std::string check_lines(const Completeness& found) {
  std::string lines;
  if (found.archive_read) {
    lines = "checked " + std::to_string(found.reached) + " " + std::to_string(found.written) +
            " " + std::to_string(found.empty) + " " + std::to_string(found.attachments) + "\n";
  }
  return lines + report_lines("missing ", found.missing) + report_lines("damaged ", found.damaged);
}

// Runs the export, with its standard output followed by progress when a
// check waits on it (otherwise the tap's copy of every write is not paid),
// then tells progress it has ended.
int32_t export_followed(const ArchiveJob& job, ExportFn export_fn, bool followed,
                        ExportProgress& progress) {
  const std::optional<std::wstring> archive = utf8_to_wide(job.archive);
  const std::optional<std::wstring> output = utf8_to_wide(job.output_dir);
  int32_t result = 0;
  {
    std::optional<StandardOutputTap> tap;
    if (followed) tap.emplace([&progress](std::string_view bytes) { progress.take_output(bytes); });
    result = export_fn(archive.value_or(L"").c_str(), output.value_or(L"").c_str());
    std::fflush(stdout);
    std::fflush(stderr);
  }
  progress.finish();
  return result;
}

// An export beside its check runs one walker fewer than alone, when it has
// more than one: the check is a thread as busy as a walker. On two cores,
// one walker beside the check took the same wall time as two, with 9 % less
// CPU and a third less memory (docs/PERFORMANCE.md). A walker count the
// user set holds. Before any other thread starts.
void leave_a_core_to_the_check(const std::string& archive) {
  if (environment_variable("QUILLMAR_THREADS")) return;
  const int alone = quillmar::choose_walker_count(std::filesystem::u8path(archive));
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int walkers = std::max(1, std::min(alone, cores - 1));
  if (walkers < alone) set_environment_variable("QUILLMAR_THREADS", std::to_string(walkers));
}

}  // namespace

void run_child_task(const ChildTask& task, ExportFn export_fn,
                    const std::function<void(const std::string&)>& report) {
  const ArchiveJob& job = task.job;
  if (task.count_first) {
    uint64_t reached = 0;
    if (count_reached_messages(job.archive, &reached)) {
      report("reached " + std::to_string(reached) + "\n");
    }
  }
  // The check runs on a thread of its own beside the export, a message's
  // directory read only once the export has printed it final.
  ExportProgress progress;
  if (!task.export_archive) progress.finish();
  Completeness found;
  std::thread checker;
  if (task.check) {
    // The check formats local dates. The time zone is loaded here, before
    // its thread starts, not on it, where the load would meet the export's
    // own (glibc's tzset frees and allocates under a lock that sanitizers
    // do not see).
    quillmar::load_time_zone();
    if (task.export_archive) leave_a_core_to_the_check(job.archive);
    checker = std::thread(
        [&] { found = check_completeness(job.archive, job.output_dir, progress); });
  }
  int32_t result = 0;
  if (task.export_archive) {
    result = export_followed(job, export_fn, task.check, progress);
    report("exported " + std::to_string(result) + "\n");
  }
  if (!check_told(result)) progress.stop();
  if (!task.check) return;
  checker.join();
  if (check_told(result)) report(check_lines(found));
}

namespace {

// Counts the export's "MAIL n OK" lines across reads.
struct LineCounter {
  std::string head;  // the current line's first bytes
  uint64_t mails = 0;

  void feed(const char* bytes, size_t size) {
    static constexpr char kMailLine[] = "MAIL ";
    for (size_t i = 0; i < size; ++i) {
      if (bytes[i] == '\n') {
        head.clear();
      } else if (head.size() < sizeof kMailLine - 1) {
        head += bytes[i];
        if (head == kMailLine) ++mails;
      }
    }
  }
};

struct Running {
  size_t index = 0;
  JobProcess process;
  Clock::time_point start;
  std::string report;
  LineCounter counter;
  bool timed_out = false;
};

uint64_t value_after(const std::string& report, const std::string& key, uint64_t fallback) {
  const size_t at = report.rfind(key + " ");
  if (at == std::string::npos || (at != 0 && report[at - 1] != '\n')) return fallback;
  return std::strtoull(report.c_str() + at + key.size() + 1, nullptr, 10);
}

// Adds the regular files under directory to outcome's bytes, and those
// in a directory pj to its attachments; links are not followed.
void count_files(const std::string& directory, bool in_pj, ArchiveOutcome& outcome) {
  for (const DirectoryEntry& entry : list_directory(directory)) {
    if (entry.kind == DirectoryEntry::Kind::kDirectory) {
      count_files(directory + "/" + entry.name, entry.name == "pj", outcome);
    } else if (entry.kind == DirectoryEntry::Kind::kRegular) {
      outcome.bytes += entry.size;
      if (in_pj) ++outcome.attachments;
    }
  }
}

// Attachments and bytes as found on disk, whatever the check said.
void count_output_files(ArchiveOutcome& outcome) {
  outcome.attachments = 0;
  count_files(outcome.output_dir, false, outcome);
}

ArchiveOutcome finish(const ArchiveJob& job, const JobSettings& settings, const Running& run,
                      const ProcessEnd& end) {
  ArchiveOutcome outcome;
  outcome.archive = job.archive;
  outcome.output_dir = job.output_dir;
  outcome.seconds = std::chrono::duration<double>(Clock::now() - run.start).count();
  std::istringstream lines(run.report);
  std::string line;
  bool exported = !settings.export_archive;
  while (std::getline(lines, line)) {
    if (line.rfind("missing ", 0) == 0) outcome.missing.push_back(line.substr(8));
    if (line.rfind("damaged ", 0) == 0) outcome.damaged.push_back(line.substr(8));
    if (line.rfind("exported ", 0) == 0) {
      exported = true;
      outcome.code = std::strtoll(line.c_str() + 9, nullptr, 10);
    }
    if (line.rfind("checked ", 0) == 0) {
      outcome.checked = true;
      std::istringstream(line.substr(8)) >> outcome.reached >> outcome.written >> outcome.empty >>
          outcome.attachments;
    }
  }
  outcome.messages = settings.export_archive
                         ? static_cast<uint64_t>(std::max<int64_t>(outcome.code, 0))
                         : outcome.written;
  if (settings.measure_output) count_output_files(outcome);
  if (run.timed_out) {
    outcome.result = Result::kTimedOut;
  } else if (end.crashed) {
    outcome.result = Result::kCrashed;
    outcome.code = end.code;
    outcome.crash = end.crash;
  } else if (!exported || outcome.code < 0 || end.code != 0) {
    outcome.result = Result::kFailed;
  } else if (!settings.check) {
    outcome.result = Result::kExported;
  } else if (!outcome.checked || !outcome.missing.empty()) {
    outcome.result = Result::kIncomplete;
  } else {
    outcome.result = outcome.damaged.empty() ? Result::kComplete : Result::kDamaged;
  }
  return outcome;
}

class Scheduler {
 public:
  Scheduler(const std::vector<ArchiveJob>& jobs, const JobSettings& settings)
      : jobs_(jobs), settings_(settings), outcomes_(jobs.size()), start_(Clock::now()) {}

  std::vector<ArchiveOutcome> run() {
    while (next_ < jobs_.size() || !running_.empty()) {
      while (next_ < jobs_.size() && running_.size() < static_cast<size_t>(settings_.parallel)) {
        launch(next_++);
      }
      wait_for_output();
      enforce_timeouts();
      reap();
      show_progress();
    }
    if (line_shown_) pass_to_standard_error(kClearLine);
    return outcomes_;
  }

 private:
  void launch(size_t index) {
    const ArchiveJob& job = jobs_[index];
    ChildTask task;
    task.job = job;
    task.export_archive = settings_.export_archive;
    task.check = settings_.check;
    task.count_first = settings_.progress && settings_.export_archive;
    // The output passes through here to be counted, or to go to the log.
    ChildStreams streams;
    streams.pass_output = settings_.logs || settings_.progress;
    streams.pass_errors = settings_.progress && !settings_.logs;
    if (settings_.logs) streams.log_path = job.output_dir + ".log";
    Running run;
    run.index = index;
    int error = 0;
    if (!run.process.start(task, streams, settings_.export_fn, settings_.library_path, &error)) {
      outcomes_[index].archive = job.archive;
      outcomes_[index].output_dir = job.output_dir;
      outcomes_[index].code = error;
      return;
    }
    run.start = Clock::now();
    running_.push_back(std::move(run));
  }

  void wait_for_output() {
    std::vector<JobProcess*> processes;
    for (Running& run : running_) processes.push_back(&run.process);
    for (const auto& [process, stream] : wait_for_streams(processes, 200)) {
      for (Running& run : running_) {
        if (&run.process == process) read_from(run, stream);
      }
    }
  }

  // Passes the child's output on, after clearing the progress line when
  // the output goes where that line is.
  void read_from(Running& run, Stream stream) {
    if (stream == Stream::kReport) return run.process.read(stream, &run.report);
    std::string bytes;
    run.process.read(stream, &bytes);
    const bool to_log = stream == Stream::kOutput && settings_.logs;
    if (stream == Stream::kOutput) run.counter.feed(bytes.data(), bytes.size());
    if (line_shown_ && !to_log && !bytes.empty()) {
      pass_to_standard_error(kClearLine);
      line_shown_ = false;
    }
    if (to_log) {
      run.process.write_log(bytes);
    } else if (stream == Stream::kOutput) {
      pass_to_standard_output(bytes);
    } else {
      pass_to_standard_error(bytes);
    }
  }

  void enforce_timeouts() {
    if (settings_.timeout_seconds <= 0) return;
    for (Running& run : running_) {
      const double age = std::chrono::duration<double>(Clock::now() - run.start).count();
      if (!run.timed_out && age > settings_.timeout_seconds) {
        run.process.kill();
        run.timed_out = true;
      }
    }
  }

  void reap() {
    for (auto it = running_.begin(); it != running_.end();) {
      const std::optional<ProcessEnd> end = it->process.poll_end();
      if (!end) {
        ++it;
        continue;
      }
      for (Stream stream : {Stream::kReport, Stream::kOutput, Stream::kError}) {
        while (it->process.is_open(stream)) read_from(*it, stream);
      }
      outcomes_[it->index] = finish(jobs_[it->index], settings_, *it, *end);
      done_mails_ += it->counter.mails;
      done_total_ += value_after(it->report, "reached", it->counter.mails);
      ++finished_;
      last_drawn_ = Clock::time_point();  // the next line shows this job's end
      it = running_.erase(it);
    }
  }

  // At most five times a second.
  void show_progress() {
    if (!settings_.progress || Clock::now() - last_drawn_ < std::chrono::milliseconds(200)) return;
    last_drawn_ = Clock::now();
    uint64_t mails = done_mails_;
    uint64_t total = done_total_;
    for (const Running& run : running_) {
      mails += run.counter.mails;
      total += value_after(run.report, "reached", 0);
    }
    std::string text = jobs_.size() > 1 ? "archives " + std::to_string(finished_) + "/" +
                                              std::to_string(jobs_.size()) + ", "
                                        : std::string();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    pass_to_standard_error(kClearLine + text + progress_text(mails, total, elapsed));
    line_shown_ = true;
  }

  const std::vector<ArchiveJob>& jobs_;
  const JobSettings& settings_;
  std::vector<ArchiveOutcome> outcomes_;
  std::vector<Running> running_;
  size_t next_ = 0;
  size_t finished_ = 0;
  uint64_t done_mails_ = 0;
  uint64_t done_total_ = 0;
  Clock::time_point start_;
  bool line_shown_ = false;
  Clock::time_point last_drawn_;
};

}  // namespace

std::vector<ArchiveOutcome> run_archive_jobs(const std::vector<ArchiveJob>& jobs,
                                             const JobSettings& settings) {
  return Scheduler(jobs, settings).run();
}

}  // namespace pst2txt
