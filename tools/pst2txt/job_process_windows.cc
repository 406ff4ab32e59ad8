// A job's child on Windows: this program started again (CreateProcessW of
// its own executable) with a child-mode first argument, in a Job Object
// that ends it at the timeout or when this process goes. It loads the
// library itself, runs the task and writes the report lines into an
// inherited pipe. An exception that nothing handles ends it with the
// exception's code as exit status, which is how the parent tells a crash.
#include <windows.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "job_process.h"
#include "library_loader.h"
#include "windows_names.h"

namespace pst2txt {
namespace {

// Not an option a user would give: main passes such a command line here.
constexpr char kChildMode[] = "--archive-job-child";
constexpr DWORD kPipeBytes = 65536;
// An exit status with its top bit set is an NTSTATUS exception code.
constexpr DWORD kExceptionBit = 0x80000000;
// What Windows ends a program whose abort() is called with, in the
// Universal C Runtime (STATUS_STACK_BUFFER_OVERRUN, by __fastfail).
constexpr DWORD kAbortCode = 0xC0000409;

// arg quoted for CommandLineToArgvW, which the child parses its command line with.
std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring text = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++backslashes;
      ++i;
    }
    if (i == arg.size()) {
      text.append(backslashes * 2, L'\\');
      break;
    }
    text.append(arg[i] == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    text.push_back(arg[i]);
  }
  return text + L"\"";
}

std::wstring own_executable() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

void close_handle(HANDLE& handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = nullptr;
}

// A copy of one of our standard handles for a child to inherit; null when
// there is none.
HANDLE inheritable_standard(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  HANDLE copy = nullptr;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

bool write_all(HANDLE handle, const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
    if (!WriteFile(handle, bytes.data() + at, chunk, &wrote, nullptr) || wrote == 0) return false;
    at += wrote;
  }
  return true;
}

LONG WINAPI end_with_exception_code(EXCEPTION_POINTERS* exception) {
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

void end_aborted(int) { TerminateProcess(GetCurrentProcess(), kAbortCode); }

}  // namespace

struct JobProcess::Impl {
  HANDLE process = nullptr;
  HANDLE job = nullptr;  // null when the process could not be put in one
  HANDLE pipes[3] = {nullptr, nullptr, nullptr};  // by Stream: report, output, error
  HANDLE log = nullptr;
  bool ended = false;

  void terminate() {
    if (job == nullptr || !TerminateJobObject(job, 1)) TerminateProcess(process, 1);
  }

  ~Impl() {
    if (process != nullptr && !ended) {
      terminate();
      WaitForSingleObject(process, INFINITE);
    }
    for (HANDLE& pipe : pipes) close_handle(pipe);
    close_handle(log);
    close_handle(job);
    close_handle(process);
  }
};

JobProcess::JobProcess() : impl_(std::make_unique<Impl>()) {}
JobProcess::~JobProcess() = default;
JobProcess::JobProcess(JobProcess&&) noexcept = default;
JobProcess& JobProcess::operator=(JobProcess&&) noexcept = default;

bool JobProcess::start(const ChildTask& task, const ChildStreams& streams, ExportFn /*export_fn*/,
                       const std::string& library_path, int* error) {
  // Our ends are never inherited; the child's ends and copies of our
  // standard handles are inheritable only for CreateProcessW, and closed
  // after it, so that no other child holds a pipe open.
  HANDLE child_ends[3] = {nullptr, nullptr, nullptr};
  HANDLE child_output = nullptr;
  HANDLE child_error = nullptr;
  PROCESS_INFORMATION started = {};
  const auto finish = [&](bool ok) {
    if (!ok) *error = -static_cast<int>(GetLastError());
    for (HANDLE& end : child_ends) close_handle(end);
    close_handle(child_output);
    close_handle(child_error);
    close_handle(started.hThread);
    return ok;
  };
  if (!streams.log_path.empty()) {
    impl_->log = CreateFileW(system_path(streams.log_path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                             nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (impl_->log == INVALID_HANDLE_VALUE) {
      impl_->log = nullptr;
      return finish(false);
    }
  }
  const bool wanted[3] = {true, streams.pass_output, streams.pass_errors};
  for (int k = 0; k < 3; ++k) {
    if (wanted[k] && (!CreatePipe(&impl_->pipes[k], &child_ends[k], nullptr, kPipeBytes) ||
                      !SetHandleInformation(child_ends[k], HANDLE_FLAG_INHERIT,
                                            HANDLE_FLAG_INHERIT))) {
      return finish(false);
    }
  }
  child_output = streams.pass_output ? child_ends[1] : inheritable_standard(STD_OUTPUT_HANDLE);
  if (streams.pass_output) child_ends[1] = nullptr;
  if (impl_->log != nullptr) {
    // The same file object, so its writes and ours share one position.
    if (!DuplicateHandle(GetCurrentProcess(), impl_->log, GetCurrentProcess(), &child_error, 0,
                         TRUE, DUPLICATE_SAME_ACCESS)) {
      return finish(false);
    }
  } else if (streams.pass_errors) {
    child_error = child_ends[2];
    child_ends[2] = nullptr;
  } else {
    child_error = inheritable_standard(STD_ERROR_HANDLE);
  }

  const std::wstring program = own_executable();
  const char flags[] = {task.export_archive ? '1' : '0', task.check ? '1' : '0',
                        task.count_first ? '1' : '0', '\0'};
  std::wstring command =
      quoted(program) + L" " + to_wide(kChildMode) + L" " +
      std::to_wstring(reinterpret_cast<uintptr_t>(child_ends[0])) + L" " + to_wide(flags) + L" " +
      quoted(to_wide(library_path)) + L" " + quoted(to_wide(task.job.archive)) + L" " +
      quoted(to_wide(task.job.output_dir));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = child_output;
  startup.hStdError = child_error;
  std::fflush(stdout);
  std::fflush(stderr);
  // Suspended until it is in its Job Object; without a console of ours, no
  // console window of its own either.
  const DWORD creation = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT |
                         (GetConsoleWindow() == nullptr ? CREATE_NO_WINDOW : 0);
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, creation, nullptr,
                      nullptr, &startup, &started)) {
    return finish(false);
  }
  impl_->process = started.hProcess;
  impl_->job = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (impl_->job != nullptr &&
      (!SetInformationJobObject(impl_->job, JobObjectExtendedLimitInformation, &limits,
                                sizeof limits) ||
       !AssignProcessToJobObject(impl_->job, impl_->process))) {
    close_handle(impl_->job);  // TerminateProcess ends it instead
  }
  ResumeThread(started.hThread);
  return finish(true);
}

bool JobProcess::is_open(Stream stream) const {
  return impl_->pipes[static_cast<int>(stream)] != nullptr;
}

void JobProcess::read(Stream stream, std::string* into) {
  HANDLE& pipe = impl_->pipes[static_cast<int>(stream)];
  char buffer[kPipeBytes];
  DWORD got = 0;
  // A zero-byte read that succeeds is a zero-byte write, not the end.
  if (!ReadFile(pipe, buffer, sizeof buffer, &got, nullptr)) return close_handle(pipe);
  into->append(buffer, got);
}

void JobProcess::write_log(const std::string& bytes) { write_all(impl_->log, bytes); }

void JobProcess::kill() { impl_->terminate(); }

std::optional<ProcessEnd> JobProcess::poll_end() {
  DWORD status = 0;
  if (impl_->ended || WaitForSingleObject(impl_->process, 0) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(impl_->process, &status)) {
    return std::nullopt;
  }
  impl_->ended = true;
  ProcessEnd end;
  end.crashed = (status & kExceptionBit) != 0;
  end.code = status;
  if (end.crashed) {
    char text[32];
    std::snprintf(text, sizeof text, "exception 0x%08lX", static_cast<unsigned long>(status));
    end.crash = text;
  }
  return end;
}

std::vector<std::pair<JobProcess*, Stream>> wait_for_streams(
    const std::vector<JobProcess*>& processes, int milliseconds) {
  // Anonymous pipes cannot be waited on: they are peeked at, between short
  // waits on the processes.
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  std::vector<HANDLE> running;
  for (JobProcess* process : processes) {
    if (!process->impl_->ended && running.size() < MAXIMUM_WAIT_OBJECTS) {
      running.push_back(process->impl_->process);
    }
  }
  std::vector<std::pair<JobProcess*, Stream>> ready;
  for (;;) {
    for (JobProcess* process : processes) {
      for (Stream stream : {Stream::kReport, Stream::kOutput, Stream::kError}) {
        const HANDLE pipe = process->impl_->pipes[static_cast<int>(stream)];
        DWORD available = 0;
        if (pipe != nullptr &&
            (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available > 0)) {
          ready.emplace_back(process, stream);
        }
      }
    }
    const ULONGLONG now = GetTickCount64();
    if (!ready.empty() || now >= deadline) return ready;
    const DWORD pause = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10));
    if (running.empty()) {
      Sleep(pause);
    } else if (WaitForMultipleObjects(static_cast<DWORD>(running.size()), running.data(), FALSE,
                                      pause) < WAIT_OBJECT_0 + running.size()) {
      return ready;  // a process ended
    }
  }
}

std::optional<int> run_as_job_child(const std::vector<std::string>& args) {
  if (args.empty() || args[0] != kChildMode) return std::nullopt;
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(end_with_exception_code);
  std::signal(SIGABRT, end_aborted);
  const HANDLE report =
      args.size() == 6 ? reinterpret_cast<HANDLE>(std::strtoull(args[1].c_str(), nullptr, 10))
                       : nullptr;
  if (report == nullptr || GetFileType(report) != FILE_TYPE_PIPE || args[2].size() != 3) {
    std::fprintf(stderr, "pst2txt: %s is started by pst2txt only\n", kChildMode);
    return 2;
  }
  ChildTask task;
  task.export_archive = args[2][0] == '1';
  task.check = args[2][1] == '1';
  task.count_first = args[2][2] == '1';
  task.job = {args[4], args[5]};
  LoadedLibrary library;
  std::string error;
  if (task.export_archive && !load_library(args[3], &library, &error)) {
    std::fprintf(stderr, "pst2txt: %s\n", error.c_str());
    return 2;
  }
  run_child_task(task, library.export_fn,
                 [report](const std::string& lines) { write_all(report, lines); });
  return 0;
}

}  // namespace pst2txt
