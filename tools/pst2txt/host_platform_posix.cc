// pst2txt's host platform on POSIX systems: names are bytes, taken as UTF-8.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "host_platform.h"

namespace pst2txt {
namespace {

void write_all(int fd, std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const ssize_t wrote = write(fd, bytes.data() + at, bytes.size() - at);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    at += static_cast<size_t>(wrote);
  }
}

}  // namespace

std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::optional<std::string> environment_variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void set_environment_variable(const char* name, const std::string& value) {
  setenv(name, value.c_str(), 1);
}

std::string executable_directory() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  path[length] = '\0';
  return std::filesystem::path(path).parent_path().string();
}

bool progress_terminal() { return isatty(2) == 1; }

void pass_to_standard_output(std::string_view bytes) { write_all(1, bytes); }

void pass_to_standard_error(std::string_view bytes) { write_all(2, bytes); }

struct StandardOutputTap::Impl {
  int before = -1;         // a copy of descriptor 1 as it was; -1 when it was closed
  int errors_before = -1;  // descriptor 2's, when it was tapped too
  std::thread reader;
};

namespace {

bool same_file(int a, int b) {
  struct stat first, second;
  return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace

StandardOutputTap::StandardOutputTap(std::function<void(std::string_view)> on_bytes) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  std::cout.flush();
  std::fflush(stdout);
  impl_ = std::make_unique<Impl>();
  impl_->before = fcntl(1, F_DUPFD_CLOEXEC, 3);
  // Standard error written where standard output goes passes through the
  // pipe as well, so that the two keep their order there.
  if (impl_->before >= 0 && same_file(1, 2)) {
    std::fflush(stderr);
    impl_->errors_before = fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (impl_->errors_before >= 0) dup2(ends[1], 2);
  }
  dup2(ends[1], 1);
  close(ends[1]);
  const int to = impl_->before;
  impl_->reader = std::thread([from = ends[0], to, on_bytes = std::move(on_bytes)] {
    char buffer[65536];
    for (;;) {
      const ssize_t got = read(from, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      const std::string_view bytes(buffer, static_cast<size_t>(got));
      if (to >= 0) write_all(to, bytes);
      on_bytes(bytes);
    }
    close(from);
  });
}

StandardOutputTap::~StandardOutputTap() {
  if (!impl_) return;
  std::cout.flush();
  std::fflush(stdout);
  std::cerr.flush();
  std::fflush(stderr);
  // The pipe's last write ends go: the reader meets its end.
  if (impl_->errors_before >= 0) dup2(impl_->errors_before, 2);
  if (impl_->before >= 0) {
    dup2(impl_->before, 1);
  } else {
    close(1);
  }
  impl_->reader.join();
  if (impl_->before >= 0) close(impl_->before);
  if (impl_->errors_before >= 0) close(impl_->errors_before);
}

std::optional<std::string> read_file(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[65536];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) {
    content.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  if (got < 0) return std::nullopt;
  return content;
}

bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

std::vector<DirectoryEntry> list_directory(const std::string& directory) {
  std::vector<DirectoryEntry> entries;
  DIR* listing = opendir(directory.c_str());
  if (listing == nullptr) return entries;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    struct stat info;
    if (name == "." || name == ".." ||
        fstatat(dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    using Kind = DirectoryEntry::Kind;
    const Kind kind = S_ISREG(info.st_mode)   ? Kind::kRegular
                      : S_ISDIR(info.st_mode) ? Kind::kDirectory
                                              : Kind::kOther;
    const uint64_t size = kind == Kind::kRegular ? static_cast<uint64_t>(info.st_size) : 0;
    entries.push_back({name, kind, size});
  }
  closedir(listing);
  return entries;
}

void* open_library(const std::string& path, std::string* error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) *error = dlerror();
  return library;
}

void* library_symbol(void* library, const char* name) { return dlsym(library, name); }

}  // namespace pst2txt
