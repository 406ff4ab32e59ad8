// pst2txt's host platform on POSIX systems: names are bytes, taken as UTF-8.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

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
