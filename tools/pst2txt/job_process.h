// An archive's job in a child process of its own: started, its report and
// console lines read through pipes, killed, its end told. One file per
// platform: job_process_posix.cc (a fork of this process) and
// job_process_windows.cc (this program started again in a child mode).
#ifndef QUILLMAR_TOOLS_PST2TXT_JOB_PROCESS_H_
#define QUILLMAR_TOOLS_PST2TXT_JOB_PROCESS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive_job.h"

namespace pst2txt {

// What a job's child does.
struct ChildTask {
  ArchiveJob job;
  bool export_archive = true;  // false: only check
  bool check = true;
  bool count_first = false;    // count the messages first, for the progress line
};

// Runs task in this process and writes its report lines through report:
// "reached N" (before the export, for progress), "exported R", "checked
// REACHED WRITTEN EMPTY ATTACHMENTS", then one "missing TEXT" per loss and
// one "damaged TEXT" per damaged item. The same on every platform
// (archive_job.cc).
void run_child_task(const ChildTask& task, ExportFn export_fn,
                    const std::function<void(const std::string&)>& report);

// Where the child's console lines go.
struct ChildStreams {
  bool pass_output = false;  // its standard output back to us, as kOutput
  bool pass_errors = false;  // its standard error back to us, as kError
  // Unless empty, a file created (or truncated) for its standard error,
  // which write_log appends to as well.
  std::string log_path;
};

enum class Stream { kReport, kOutput, kError };

// How a child process ended.
struct ProcessEnd {
  bool crashed = false;  // a signal or an exception ended it
  int64_t code = 0;      // its exit status, or that signal or exception code
  std::string crash;     // "signal 6", "exception 0xC0000005"
};

class JobProcess {
 public:
  JobProcess();
  ~JobProcess();  // kills a child still running and waits for it
  JobProcess(JobProcess&&) noexcept;
  JobProcess& operator=(JobProcess&&) noexcept;

  // Starts a child running task; export_fn is the loaded library's, from
  // library_path. False, with error set to a negative system error number,
  // when it cannot start.
  bool start(const ChildTask& task, const ChildStreams& streams, ExportFn export_fn,
             const std::string& library_path, int* error);

  bool is_open(Stream stream) const;
  // Appends what one read of stream gives to into; closes the stream at its
  // end. Blocks until the child writes or ends.
  void read(Stream stream, std::string* into);
  void write_log(const std::string& bytes);
  void kill();
  // How the child ended; nothing while it runs.
  std::optional<ProcessEnd> poll_end();

  // Waits up to milliseconds for one of the open streams of processes to
  // have something to read (its end too), or for a process to end; returns
  // the streams that can be read without blocking.
  friend std::vector<std::pair<JobProcess*, Stream>> wait_for_streams(
      const std::vector<JobProcess*>& processes, int milliseconds);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

std::vector<std::pair<JobProcess*, Stream>> wait_for_streams(
    const std::vector<JobProcess*>& processes, int milliseconds);

// When this process was started as a job's child (on Windows, where each
// job is this program started again), runs that job and returns the exit
// status; otherwise nothing. args are the program's arguments.
std::optional<int> run_as_job_child(const std::vector<std::string>& args);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_JOB_PROCESS_H_
