// A job's child on POSIX systems: a fork of this process that runs the task
// and ends with _exit; pipes with poll; SIGKILL at the timeout.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "job_process.h"

namespace pst2txt {
namespace {

void write_all(int fd, const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const ssize_t wrote = write(fd, bytes.data() + at, bytes.size() - at);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    at += static_cast<size_t>(wrote);
  }
}

int make_pipe(int fds[2]) { return pipe2(fds, O_CLOEXEC); }

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

struct JobProcess::Impl {
  pid_t pid = -1;
  bool reaped = false;
  int fds[3] = {-1, -1, -1};  // by Stream: report, output, error
  int log_fd = -1;

  ~Impl() {
    if (pid > 0 && !reaped) {
      ::kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    for (int& fd : fds) close_fd(fd);
    close_fd(log_fd);
  }
};

JobProcess::JobProcess() : impl_(std::make_unique<Impl>()) {}
JobProcess::~JobProcess() = default;
JobProcess::JobProcess(JobProcess&&) noexcept = default;
JobProcess& JobProcess::operator=(JobProcess&&) noexcept = default;

bool JobProcess::start(const ChildTask& task, const ChildStreams& streams, ExportFn export_fn,
                       const std::string& /*library_path: the fork has it loaded*/, int* error) {
  signal(SIGPIPE, SIG_IGN);  // a reader of our output that goes away ends nothing here
  int report[2] = {-1, -1};
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  const auto fail = [&] {
    *error = -errno;
    for (int* fd : {&report[0], &report[1], &out[0], &out[1], &err[0], &err[1]}) close_fd(*fd);
    return false;
  };
  if (!streams.log_path.empty()) {
    impl_->log_fd = open(streams.log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (impl_->log_fd < 0) return fail();
  }
  if (make_pipe(report) != 0) return fail();
  if (streams.pass_output && make_pipe(out) != 0) return fail();
  if (streams.pass_errors && make_pipe(err) != 0) return fail();
  std::fflush(stdout);
  std::fflush(stderr);
  impl_->pid = fork();
  if (impl_->pid < 0) return fail();
  if (impl_->pid == 0) {
    if (out[1] >= 0) dup2(out[1], 1);
    if (err[1] >= 0) dup2(err[1], 2);
    if (impl_->log_fd >= 0) dup2(impl_->log_fd, 2);
    signal(SIGPIPE, SIG_DFL);  // the library runs as it would in any host
    const int report_fd = report[1];
    run_child_task(task, export_fn, [report_fd](const std::string& lines) {
      write_all(report_fd, lines);
    });
    _exit(0);
  }
  close_fd(report[1]);
  close_fd(out[1]);
  close_fd(err[1]);
  impl_->fds[0] = report[0];
  impl_->fds[1] = out[0];
  impl_->fds[2] = err[0];
  return true;
}

bool JobProcess::is_open(Stream stream) const {
  return impl_->fds[static_cast<int>(stream)] >= 0;
}

void JobProcess::read(Stream stream, std::string* into) {
  int& fd = impl_->fds[static_cast<int>(stream)];
  char buffer[65536];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return;
  if (got <= 0) return close_fd(fd);
  into->append(buffer, static_cast<size_t>(got));
}

void JobProcess::write_log(const std::string& bytes) { write_all(impl_->log_fd, bytes); }

void JobProcess::kill() { ::kill(impl_->pid, SIGKILL); }

std::optional<ProcessEnd> JobProcess::poll_end() {
  int status = 0;
  if (impl_->reaped || waitpid(impl_->pid, &status, WNOHANG) != impl_->pid) return std::nullopt;
  impl_->reaped = true;
  ProcessEnd end;
  end.crashed = WIFSIGNALED(status);
  end.code = end.crashed ? WTERMSIG(status) : WEXITSTATUS(status);
  if (end.crashed) end.crash = "signal " + std::to_string(end.code);
  return end;
}

std::vector<std::pair<JobProcess*, Stream>> wait_for_streams(
    const std::vector<JobProcess*>& processes, int milliseconds) {
  std::vector<pollfd> fds;
  std::vector<std::pair<JobProcess*, Stream>> sources;
  for (JobProcess* process : processes) {
    for (Stream stream : {Stream::kReport, Stream::kOutput, Stream::kError}) {
      if (!process->is_open(stream)) continue;
      fds.push_back({process->impl_->fds[static_cast<int>(stream)], POLLIN, 0});
      sources.emplace_back(process, stream);
    }
  }
  std::vector<std::pair<JobProcess*, Stream>> ready;
  if (poll(fds.data(), fds.size(), milliseconds) <= 0) return ready;
  for (size_t k = 0; k < fds.size(); ++k) {
    if (fds[k].revents != 0) ready.push_back(sources[k]);
  }
  return ready;
}

std::optional<int> run_as_job_child(const std::vector<std::string>& /*args*/) {
  return std::nullopt;  // a job's child is a fork, never this program started again
}

}  // namespace pst2txt
