#include "archive_job.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "completeness_check.h"
#include "quillmar_pst.h"
#include "host_arguments.h"

namespace pst2txt {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kClearLine[] = "\r\033[K";

void write_all(int fd, const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const ssize_t wrote = write(fd, bytes.data() + at, bytes.size() - at);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    at += static_cast<size_t>(wrote);
  }
}

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

// The child's side: export, check, report lines on report_fd, exit.
// Report lines: "reached N" (before the export, for progress), "exported R",
// "checked REACHED WRITTEN EMPTY ATTACHMENTS", then one "missing TEXT" per
// loss and one "damaged TEXT" per damaged item.
[[noreturn]] void run_child(const ArchiveJob& job, const JobSettings& settings, int report_fd,
                            bool count_first) {
  signal(SIGPIPE, SIG_DFL);  // the library runs as it would in any host
  if (count_first) {
    uint64_t reached = 0;
    if (count_reached_messages(job.archive, &reached)) {
      write_all(report_fd, "reached " + std::to_string(reached) + "\n");
    }
  }
  int32_t result = 0;
  if (settings.export_archive) {
    const std::optional<std::wstring> archive = utf8_to_wide(job.archive);
    const std::optional<std::wstring> output = utf8_to_wide(job.output_dir);
    result = settings.export_fn(archive.value_or(L"").c_str(), output.value_or(L"").c_str());
    std::fflush(stdout);
    std::fflush(stderr);
    write_all(report_fd, "exported " + std::to_string(result) + "\n");
  }
  // Also after an exception ended the run part way: what it left is checked.
  if (settings.check && (result >= 0 || result <= PST_EXPORT_ERR_STD_EXCEPTION)) {
    const Completeness found = check_completeness(job.archive, job.output_dir);
    std::string report;
    if (found.archive_read) {
      report = "checked " + std::to_string(found.reached) + " " + std::to_string(found.written) +
               " " + std::to_string(found.empty) + " " + std::to_string(found.attachments) +
               "\n";
    }
    report += report_lines("missing ", found.missing) + report_lines("damaged ", found.damaged);
    write_all(report_fd, report);
  }
  _exit(0);
}

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
  pid_t pid = -1;
  Clock::time_point start;
  int report_fd = -1;
  int out_fd = -1;   // the child's standard output, when it passes through us
  int err_fd = -1;   // the child's standard error, when it passes through us
  int out_sink = 1;  // where that output goes
  int log_fd = -1;
  std::string report;
  LineCounter counter;
  bool timed_out = false;
};

int make_pipe(int fds[2]) { return pipe2(fds, O_CLOEXEC); }

// Starts job in a child process; false, with errno set, when it cannot.
bool start_job(const ArchiveJob& job, const JobSettings& settings, Running& run) {
  int report[2];
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (settings.logs) {
    run.log_fd = open((job.output_dir + ".log").c_str(),
                      O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (run.log_fd < 0) return false;
    run.out_sink = run.log_fd;
  }
  if (make_pipe(report) != 0) return false;
  const bool pass_output = settings.logs || settings.progress;
  if (pass_output && make_pipe(out) != 0) return false;
  if (settings.progress && !settings.logs && make_pipe(err) != 0) return false;
  std::fflush(stdout);
  std::fflush(stderr);
  run.pid = fork();
  if (run.pid < 0) return false;
  if (run.pid == 0) {
    if (out[1] >= 0) dup2(out[1], 1);
    if (err[1] >= 0) dup2(err[1], 2);
    if (settings.logs && run.log_fd >= 0) dup2(run.log_fd, 2);
    run_child(job, settings, report[1], settings.progress && settings.export_archive);
  }
  close(report[1]);
  if (out[1] >= 0) close(out[1]);
  if (err[1] >= 0) close(err[1]);
  run.report_fd = report[0];
  run.out_fd = out[0];
  run.err_fd = err[0];
  run.start = Clock::now();
  return true;
}

uint64_t value_after(const std::string& report, const std::string& key, uint64_t fallback) {
  const size_t at = report.rfind(key + " ");
  if (at == std::string::npos || (at != 0 && report[at - 1] != '\n')) return fallback;
  return std::strtoull(report.c_str() + at + key.size() + 1, nullptr, 10);
}

// Attachments and bytes as found on disk, whatever the check said.
void count_output_files(ArchiveOutcome& outcome) {
  outcome.attachments = 0;
  namespace fs = std::filesystem;
  std::error_code error;
  for (fs::recursive_directory_iterator it(outcome.output_dir, error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_regular_file(error) || it->is_symlink(error)) continue;
    outcome.bytes += it->file_size(error);
    if (it->path().parent_path().filename() == "pj") ++outcome.attachments;
  }
}

ArchiveOutcome finish(const ArchiveJob& job, const JobSettings& settings, const Running& run,
                      int status) {
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
      outcome.code = std::atoi(line.c_str() + 9);
    }
    if (line.rfind("checked ", 0) == 0) {
      outcome.checked = true;
      std::istringstream(line.substr(8)) >> outcome.reached >> outcome.written >> outcome.empty >>
          outcome.attachments;
    }
  }
  outcome.messages =
      settings.export_archive ? static_cast<uint64_t>(std::max(outcome.code, 0)) : outcome.written;
  if (settings.measure_output) count_output_files(outcome);
  if (run.timed_out) {
    outcome.result = Result::kTimedOut;
  } else if (WIFSIGNALED(status)) {
    outcome.result = Result::kCrashed;
    outcome.code = WTERMSIG(status);
  } else if (!exported || outcome.code < 0 || WEXITSTATUS(status) != 0) {
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

// Appends what fd has to into; closes fd and sets it to -1 at its end.
void drain(int& fd, std::string& into) {
  char buffer[65536];
  const ssize_t got = read(fd, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return;
  if (got <= 0) {
    close(fd);
    fd = -1;
    return;
  }
  into.append(buffer, static_cast<size_t>(got));
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
    if (line_shown_) write_all(2, kClearLine);
    return outcomes_;
  }

 private:
  void launch(size_t index) {
    Running run;
    run.index = index;
    if (!start_job(jobs_[index], settings_, run)) {
      outcomes_[index].archive = jobs_[index].archive;
      outcomes_[index].output_dir = jobs_[index].output_dir;
      outcomes_[index].code = -errno;
      return;
    }
    running_.push_back(std::move(run));
  }

  void wait_for_output() {
    std::vector<pollfd> fds;
    std::vector<std::pair<Running*, int*>> sources;
    for (Running& run : running_) {
      for (int* fd : {&run.report_fd, &run.out_fd, &run.err_fd}) {
        if (*fd < 0) continue;
        fds.push_back({*fd, POLLIN, 0});
        sources.emplace_back(&run, fd);
      }
    }
    if (poll(fds.data(), fds.size(), 200) <= 0) return;
    for (size_t k = 0; k < fds.size(); ++k) {
      if (fds[k].revents != 0) read_from(*sources[k].first, *sources[k].second);
    }
  }

  // Passes the child's output on, after clearing the progress line when
  // the output goes where that line is.
  void read_from(Running& run, int& fd) {
    if (&fd == &run.report_fd) return drain(fd, run.report);
    std::string bytes;
    drain(fd, bytes);
    const int sink = &fd == &run.out_fd ? run.out_sink : 2;
    if (&fd == &run.out_fd) run.counter.feed(bytes.data(), bytes.size());
    if (line_shown_ && (sink == 1 || sink == 2) && !bytes.empty()) {
      write_all(2, kClearLine);
      line_shown_ = false;
    }
    write_all(sink, bytes);
  }

  void enforce_timeouts() {
    if (settings_.timeout_seconds <= 0) return;
    for (Running& run : running_) {
      const double age = std::chrono::duration<double>(Clock::now() - run.start).count();
      if (!run.timed_out && age > settings_.timeout_seconds) {
        kill(run.pid, SIGKILL);
        run.timed_out = true;
      }
    }
  }

  void reap() {
    for (auto it = running_.begin(); it != running_.end();) {
      int status = 0;
      if (waitpid(it->pid, &status, WNOHANG) != it->pid) {
        ++it;
        continue;
      }
      for (int* fd : {&it->report_fd, &it->out_fd, &it->err_fd}) {
        while (*fd >= 0) read_from(*it, *fd);
      }
      if (it->log_fd >= 0) close(it->log_fd);
      outcomes_[it->index] = finish(jobs_[it->index], settings_, *it, status);
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
    write_all(2, kClearLine + text + progress_text(mails, total, elapsed));
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
  signal(SIGPIPE, SIG_IGN);
  return Scheduler(jobs, settings).run();
}

}  // namespace pst2txt
