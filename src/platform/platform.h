// What the library needs from the operating system: files, the local time
// zone, the console, loading, and opening an archive by name. One
// implementation per platform (platform_posix.cc, platform_windows.cc); the
// rest of the library never asks which one it runs on.
//
// Paths are UTF-8 inside the library: a std::filesystem::path is made with
// std::filesystem::u8path and read back with u8string(). The conversion to
// the system's own form of a name happens here, once.
#ifndef QUILLMAR_PLATFORM_PLATFORM_H_
#define QUILLMAR_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include <libpff.h>

namespace quillmar {

// ---- Files -----------------------------------------------------------------
// Every failure is returned or thrown with the system's error number: an
// errno on POSIX, a GetLastError code on Windows (system_error_text turns
// either into text).

// A directory that files are created in by name, held open while it is
// written: nothing put in its place later is written through.
class OutputDirectory {
 public:
  // Creates path, and its missing parents, as a new empty directory; what
  // is there already (a link too, which is removed as a link, never
  // entered) is removed first. Throws filesystem_error naming "remove_all"
  // or "create_directories" and the path on failure.
  static OutputDirectory create_fresh(const std::filesystem::path& path);
  // Creates sub-directory name, which must not exist yet. Throws
  // filesystem_error naming "create_directories" on failure.
  void make_sub_directory(const char* name) const;
  // make_sub_directory, and the new directory to create files in.
  OutputDirectory create_sub_directory(const char* name) const;

  // Lets the directory go before it is removed or renamed (Windows refuses
  // both while it is held). No file may be created in it afterwards.
  void close();

  OutputDirectory(OutputDirectory&& other) noexcept;
  OutputDirectory& operator=(OutputDirectory&&) = delete;
  ~OutputDirectory();

  const std::filesystem::path& path() const { return path_; }
  intptr_t handle() const { return handle_; }

 private:
  OutputDirectory(std::filesystem::path path, intptr_t handle)
      : path_(std::move(path)), handle_(handle) {}
  std::filesystem::path path_;
  intptr_t handle_;  // descriptor or HANDLE; kNoHandle once moved from
};

// A file being written: created new in directory (it must not exist: a
// link or anything else of that name is an error, never followed), then
// appended to. Unless close() succeeds, the destructor removes it.
class NewFile {
 public:
  // name is UTF-8.
  NewFile(const OutputDirectory& directory, std::string name);
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Writes every byte, across short writes; nothing after a failure.
  void append(std::string_view bytes);
  // Closes the file; returns error().
  int close();
  // 0, or the system's error number of the first failure.
  int error() const { return error_; }

 private:
  void remove();

  const OutputDirectory& directory_;
  std::string name_;
  intptr_t handle_;
  int error_ = 0;
  bool closed_ = false;
};

// Creates directory and its missing parents; an existing directory is
// accepted. Throws std::filesystem::filesystem_error naming
// "create_directories" and the directory on failure (an empty path, or a
// file in the way, too).
void create_directory_tree(const std::filesystem::path& directory);

// Removes path and everything under it; a link (a junction too) is removed
// as a link and never entered. Absence is no error. Throws filesystem_error
// naming "remove_all" on failure.
void remove_directory_tree(const std::filesystem::path& path);

// Gives directory the name path, replacing what is there (removed first
// when a rename cannot replace it, links as links). Throws filesystem_error
// on failure.
void move_directory(const std::filesystem::path& directory, const std::filesystem::path& path);

// Whether path names an existing entry, following links. Throws
// filesystem_error naming "exists" when the file system reports anything
// but absence.
bool path_exists(const std::filesystem::path& path);

// Whether an entry of this name exists, a link counted as itself (dangling
// or not). Throws filesystem_error naming "exists" when the file system
// cannot tell.
bool entry_exists(const std::filesystem::path& path);
bool name_taken(const OutputDirectory& directory, const std::string& name);

// Whether path names a regular file (following links): not a directory,
// pipe or device.
bool is_plain_file(const std::filesystem::path& path);

// Size of the file at path in bytes, or -1 when it cannot be read.
int64_t size_of_file(const std::filesystem::path& path);

// The system's text for one of its error numbers, in UTF-8.
std::string system_error_text(int error);

// ---- Archives ----------------------------------------------------------------

// Opens file (initialized) read-only on the archive at path, in the form of
// name that libpff takes on this platform. Returns what libpff returns.
int open_libpff_file(libpff_file_t* file, const std::filesystem::path& path,
                     libpff_error_t** error);

// ---- Local time --------------------------------------------------------------

struct CalendarTime {
  int year = 0;   // e.g. 2024
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Makes later conversions use the host's current time zone (where the
// platform reads it once and keeps it).
void load_time_zone();

// The host's local time for a FILETIME (100-nanosecond ticks since
// 1601-01-01 UTC, below 2^63), by the platform's time-zone rules for that
// date. False when the platform cannot convert it.
bool filetime_to_local_time(uint64_t ticks, CalendarTime* local);

// ---- Console -----------------------------------------------------------------

// Writes UTF-8 bytes on the process's standard output or standard error, as
// a console program of the platform writes text.
void write_standard_output(std::string_view bytes);
void write_standard_error(std::string_view bytes);

// libpff's text of error on the C runtime's standard error stream, after
// everything written before it.
void print_libpff_error(libpff_error_t* error);

// ---- Byte search -------------------------------------------------------------

// Whether part occurs in text; linear in the worst case.
bool contains_bytes(std::string_view text, std::string_view part);

}  // namespace quillmar

#endif  // QUILLMAR_PLATFORM_PLATFORM_H_
