#include "message/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillmar {
namespace {

constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask
constexpr mode_t kNewDirectoryMode = 0777;  // as create_directories makes them

[[noreturn]] void throw_errno(const char* operation, const std::filesystem::path& path, int error) {
  throw std::filesystem::filesystem_error(operation, path,
                                          std::error_code(error, std::generic_category()));
}

}  // namespace

OutputDirectory OutputDirectory::create_fresh(const std::filesystem::path& path) {
  // Usually nothing is there and the parent exists: one system call.
  if (::mkdir(path.c_str(), kNewDirectoryMode) != 0) {
    if (errno == EEXIST) remove_directory_tree(path);
    create_directory_tree(path);
  }
  const int descriptor = ::open(path.c_str(), kDirectoryFlags);
  if (descriptor < 0) throw_errno("create_directories", path, errno);
  return OutputDirectory(path, descriptor);
}

void OutputDirectory::make_sub_directory(const char* name) const {
  if (::mkdirat(descriptor_, name, kNewDirectoryMode) != 0) {
    throw_errno("create_directories", path_ / name, errno);
  }
}

OutputDirectory OutputDirectory::create_sub_directory(const char* name) const {
  make_sub_directory(name);
  const int descriptor = ::openat(descriptor_, name, kDirectoryFlags);
  if (descriptor < 0) throw_errno("create_directories", path_ / name, errno);
  return OutputDirectory(path_ / name, descriptor);
}

OutputDirectory::OutputDirectory(OutputDirectory&& other) noexcept
    : path_(std::move(other.path_)), descriptor_(other.descriptor_) {
  other.descriptor_ = -1;
}

OutputDirectory::~OutputDirectory() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

NewFile::NewFile(const OutputDirectory& directory, std::string name)
    : directory_(directory), name_(std::move(name)) {
  descriptor_ = ::openat(directory_.descriptor(), name_.c_str(), kNewFileFlags, kNewFileMode);
  if (descriptor_ < 0) error_ = errno;
}

NewFile::~NewFile() {
  if (descriptor_ >= 0 && !closed_) {
    ::close(descriptor_);
    ::unlinkat(directory_.descriptor(), name_.c_str(), 0);
  }
}

void NewFile::append(std::string_view bytes) {
  while (error_ == 0 && !bytes.empty()) {
    const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) {
      error_ = errno;
    } else {
      bytes.remove_prefix(static_cast<size_t>(written));
    }
  }
}

int NewFile::close() {
  if (descriptor_ < 0 || closed_) return error_;
  closed_ = true;
  if (::close(descriptor_) != 0 && error_ == 0) error_ = errno;
  if (error_ != 0) ::unlinkat(directory_.descriptor(), name_.c_str(), 0);
  return error_;
}

int write_new_file(const OutputDirectory& directory, const std::string& name,
                   std::string_view bytes) {
  NewFile file(directory, name);
  file.append(bytes);
  return file.close();
}

void report_write_failure(Console& console, const std::filesystem::path& path, int error) {
  char buffer[256];
  // The GNU strerror_r may return a static text instead of filling buffer.
  console.err("Impossible d'ecrire " + path.string() + ": " +
              strerror_r(error, buffer, sizeof buffer) + "\n");
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

bool entry_exists(const std::filesystem::path& path, bool follow_links) {
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

bool path_exists(const std::filesystem::path& path) { return entry_exists(path, true); }

bool name_taken(const OutputDirectory& directory, const std::string& name) {
  struct stat entry;
  if (::fstatat(directory.descriptor(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0) return true;
  if (errno == ENOENT) return false;
  throw_errno("exists", directory.path() / name, errno);
}

}  // namespace quillmar
