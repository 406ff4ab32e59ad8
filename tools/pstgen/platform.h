// What pstgen needs from the operating system, one implementation per
// platform (platform_posix.cc, platform_windows.cc). Paths and arguments are
// UTF-8 here; they meet the system's own encoding only inside those files.
#ifndef PSTGEN_PLATFORM_H_
#define PSTGEN_PLATFORM_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pstgen {

// The command line's arguments after the program name, as UTF-8 (`argc` and
// `argv` are main's; Windows asks the system for the wide command line).
std::vector<std::string> utf8_arguments(int argc, char** argv);

// A file created, or truncated, for writing at given offsets; not inherited
// by child processes.
class OutputFile {
 public:
  // Throws std::runtime_error "cannot create <path>: <reason>".
  explicit OutputFile(const std::string& path);
  ~OutputFile();  // closes, ignoring errors
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Writes all of `bytes` at `offset`, which is at most the file's size.
  // Throws std::runtime_error "cannot write <path>: <reason>".
  void write_at(uint64_t offset, std::string_view bytes);

  // Throws std::runtime_error "cannot close <path>: <reason>"; later calls do
  // nothing.
  void close();

 private:
  std::string path_;
  intptr_t handle_ = -1;  // a descriptor or a HANDLE; -1 when closed
};

}  // namespace pstgen

#endif  // PSTGEN_PLATFORM_H_
