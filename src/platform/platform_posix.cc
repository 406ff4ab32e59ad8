// The platform on POSIX systems: file descriptors and the *at calls, the C
// library's time zone, the standard C++ streams.
#include <fcntl.h>
#include <string.h>  // memmem: glibc's is linear in the worst case
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>

#include "platform/platform.h"

namespace quillmar {
namespace {

constexpr intptr_t kNoHandle = -1;
constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask
constexpr mode_t kNewDirectoryMode = 0777;  // as create_directories makes them
constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

[[noreturn]] void throw_errno(const char* operation, const std::filesystem::path& path, int error) {
  throw std::filesystem::filesystem_error(operation, path,
                                          std::error_code(error, std::generic_category()));
}

int descriptor(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

OutputDirectory OutputDirectory::create_fresh(const std::filesystem::path& path) {
  // Usually nothing is there and the parent exists: one system call.
  if (::mkdir(path.c_str(), kNewDirectoryMode) != 0) {
    if (errno == EEXIST) remove_directory_tree(path);
    create_directory_tree(path);
  }
  const int opened = ::open(path.c_str(), kDirectoryFlags);
  if (opened < 0) throw_errno("create_directories", path, errno);
  return OutputDirectory(path, opened);
}

void OutputDirectory::make_sub_directory(const char* name) const {
  if (::mkdirat(descriptor(handle_), name, kNewDirectoryMode) != 0) {
    throw_errno("create_directories", path_ / name, errno);
  }
}

OutputDirectory OutputDirectory::create_sub_directory(const char* name) const {
  make_sub_directory(name);
  const int opened = ::openat(descriptor(handle_), name, kDirectoryFlags);
  if (opened < 0) throw_errno("create_directories", path_ / name, errno);
  return OutputDirectory(path_ / name, opened);
}

OutputDirectory::OutputDirectory(OutputDirectory&& other) noexcept
    : path_(std::move(other.path_)), handle_(other.handle_) {
  other.handle_ = kNoHandle;
}

void OutputDirectory::close() {
  if (handle_ != kNoHandle) ::close(descriptor(handle_));
  handle_ = kNoHandle;
}

OutputDirectory::~OutputDirectory() { close(); }

NewFile::NewFile(const OutputDirectory& directory, std::string name)
    : directory_(directory), name_(std::move(name)) {
  handle_ = ::openat(descriptor(directory_.handle()), name_.c_str(), kNewFileFlags, kNewFileMode);
  if (handle_ < 0) error_ = errno;
}

NewFile::~NewFile() {
  if (handle_ >= 0 && !closed_) {
    ::close(descriptor(handle_));
    remove();
  }
}

void NewFile::remove() { ::unlinkat(descriptor(directory_.handle()), name_.c_str(), 0); }

void NewFile::append(std::string_view bytes) {
  while (error_ == 0 && !bytes.empty()) {
    const ssize_t written = ::write(descriptor(handle_), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) {
      error_ = errno;
    } else {
      bytes.remove_prefix(static_cast<size_t>(written));
    }
  }
}

int NewFile::close() {
  if (handle_ < 0 || closed_) return error_;
  closed_ = true;
  if (::close(descriptor(handle_)) != 0 && error_ == 0) error_ = errno;
  if (error_ != 0) remove();
  return error_;
}

void create_directory_tree(const std::filesystem::path& directory) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  // An existing non-directory and an empty path are errors here too.
  if (error) throw std::filesystem::filesystem_error("create_directories", directory, error);
}

void remove_directory_tree(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  if (error) throw std::filesystem::filesystem_error("remove_all", path, error);
}

void move_directory(const std::filesystem::path& directory, const std::filesystem::path& path) {
  // A rename replaces nothing but an empty directory; anything else goes first.
  if (::rename(directory.c_str(), path.c_str()) == 0) return;
  remove_directory_tree(path);
  std::filesystem::rename(directory, path);
}

namespace {

bool status_exists(const std::filesystem::path& path, bool follow_links) {
  std::error_code error;
  const std::filesystem::file_status status = follow_links
      ? std::filesystem::status(path, error)
      : std::filesystem::symlink_status(path, error);
  if (error && status.type() != std::filesystem::file_type::not_found) {
    throw std::filesystem::filesystem_error("exists", path, error);
  }
  return std::filesystem::exists(status);
}

}  // namespace

bool path_exists(const std::filesystem::path& path) { return status_exists(path, true); }

bool entry_exists(const std::filesystem::path& path) { return status_exists(path, false); }

bool name_taken(const OutputDirectory& directory, const std::string& name) {
  struct stat entry;
  if (::fstatat(descriptor(directory.handle()), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0) {
    return true;
  }
  if (errno == ENOENT) return false;
  throw_errno("exists", directory.path() / name, errno);
}

bool is_plain_file(const std::filesystem::path& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

int64_t size_of_file(const std::filesystem::path& path) {
  struct stat file {};
  if (::stat(path.c_str(), &file) != 0) return -1;
  return static_cast<int64_t>(file.st_size);
}

std::string system_error_text(int error) {
  char buffer[256];
  // The GNU strerror_r may return a static text instead of filling buffer.
  return strerror_r(error, buffer, sizeof buffer);
}

int open_libpff_file(libpff_file_t* file, const std::filesystem::path& path,
                     libpff_error_t** error) {
  // Names are bytes here: libpff's narrow open takes the UTF-8 name as is.
  return libpff_file_open(file, path.c_str(), libpff_get_access_flags_read(), error);
}

void load_time_zone() {
  // localtime_r reads the time zone as the last tzset left it.
  tzset();
}

// localtime_r reads the host's current time zone (TZ or /etc/localtime) and
// its rule for that date. Every count below 2^63 (up to the year 30828)
// fits a 64-bit time_t.
bool filetime_to_local_time(uint64_t ticks, CalendarTime* local) {
  const int64_t seconds_since_1601 = static_cast<int64_t>(ticks / kTicksPerSecond);
  const time_t unix_time = static_cast<time_t>(seconds_since_1601 - kSecondsFrom1601To1970);
  struct tm fields {};
  if (localtime_r(&unix_time, &fields) == nullptr) return false;
  *local = {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
            fields.tm_hour,        fields.tm_min,     fields.tm_sec};
  return true;
}

// Narrow streams only: a wide write would make standard error wide-oriented
// and lose every narrow write after it.
void write_standard_output(std::string_view bytes) { std::cout << bytes; }

void write_standard_error(std::string_view bytes) { std::cerr << bytes; }

void print_libpff_error(libpff_error_t* error) {
  // std::cerr is unbuffered and synchronised with stdio, so libpff's text
  // follows what was written before it.
  std::cerr.flush();
  libpff_error_fprint(error, stderr);
}

bool contains_bytes(std::string_view text, std::string_view part) {
  return memmem(text.data(), text.size(), part.data(), part.size()) != nullptr;
}

}  // namespace quillmar
