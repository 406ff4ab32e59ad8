#include "message/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillmar {
namespace {

constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask
constexpr mode_t kNewDirectoryMode = 0777;  // as create_directories makes them

}  // namespace

NewFile::NewFile(const std::filesystem::path& path) : path_(path) {
  descriptor_ = ::open(path_.c_str(), kNewFileFlags, kNewFileMode);
  if (descriptor_ < 0) error_ = errno;
}

NewFile::~NewFile() {
  if (descriptor_ >= 0 && !closed_) {
    ::close(descriptor_);
    ::unlink(path_.c_str());
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
  if (error_ != 0) ::unlink(path_.c_str());
  return error_;
}

int write_new_file(const std::filesystem::path& path, std::string_view bytes) {
  NewFile file(path);
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
  // Most calls create one directory in an existing parent: one system call.
  if (::mkdir(directory.c_str(), kNewDirectoryMode) == 0) return;
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

bool name_taken(const std::filesystem::path& path) { return entry_exists(path, false); }

}  // namespace quillmar
