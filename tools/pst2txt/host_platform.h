// What pst2txt needs from the operating system besides its child processes
// (job_process.h): its arguments and environment, the console, files and
// loading the library. One implementation per platform
// (host_platform_posix.cc, host_platform_windows.cc). Paths and text are
// UTF-8 here; they meet the system's own form only inside those files.
#ifndef QUILLMAR_TOOLS_PST2TXT_HOST_PLATFORM_H_
#define QUILLMAR_TOOLS_PST2TXT_HOST_PLATFORM_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pst2txt {

// ---- Program -------------------------------------------------------------

// The command line's arguments after the program name, as UTF-8 (argc and
// argv are main's; Windows asks the system for the wide command line).
std::vector<std::string> program_arguments(int argc, char** argv);

// The value of an environment variable, as UTF-8; nothing when it is unset.
std::optional<std::string> environment_variable(const char* name);

// Sets an environment variable of this process (ASCII name and value), as
// the library's getenv sees it. Only while no other thread runs.
void set_environment_variable(const char* name, const std::string& value);

// The directory holding this program's executable; empty when unknown.
std::string executable_directory();

// ---- Console -------------------------------------------------------------

// Whether standard error is a terminal the progress line can be drawn on
// ("\r\033[K" clears it); a Windows console is set to take those escape
// sequences, until this process exits.
bool progress_terminal();

// Write bytes at once, all of them, on standard output or standard error:
// a child's console lines passed on, and the progress line. Bytes go out
// as they are, except to a Windows console, which is given the UTF-8 text
// as text.
void pass_to_standard_output(std::string_view bytes);
void pass_to_standard_error(std::string_view bytes);

// While it lives, what this process writes on standard output (the C
// runtime's descriptor 1, and on Windows the standard output handle, which
// the library's writes go through) passes through a pipe: a thread of its
// own forwards every byte at once, unchanged, to where standard output went
// before, then hands it to on_bytes. The destructor flushes the C and C++
// streams, puts standard output back and returns after the last bytes were
// handed over. Standard error, when it is the same file as standard output
// (a terminal, "> log 2>&1"), passes through the pipe too, so that the two
// keep their order there. When no pipe can be made, nothing is tapped.
class StandardOutputTap {
 public:
  explicit StandardOutputTap(std::function<void(std::string_view)> on_bytes);
  ~StandardOutputTap();
  StandardOutputTap(const StandardOutputTap&) = delete;
  StandardOutputTap& operator=(const StandardOutputTap&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// ---- Files ---------------------------------------------------------------

// The whole content of the file at path; nothing when it cannot be read.
std::optional<std::string> read_file(const std::string& path);

// Whether an entry of this name exists, a link counted as itself.
bool exists(const std::string& path);

struct DirectoryEntry {
  enum class Kind { kRegular, kDirectory, kOther };  // a link is kOther, never followed
  std::string name;
  Kind kind = Kind::kOther;
  uint64_t size = 0;  // a regular file's
};

// The entries of directory but "." and ".."; none when it cannot be listed.
std::vector<DirectoryEntry> list_directory(const std::string& directory);

// ---- Library -------------------------------------------------------------

// Loads the shared library at path (a bare file name through the loader's
// search); null with error set when it cannot. It stays loaded.
void* open_library(const std::string& path, std::string* error);

// The address of the named entry point of library, or null.
void* library_symbol(void* library, const char* name);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_HOST_PLATFORM_H_
