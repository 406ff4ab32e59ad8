#include "library_loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace pst2txt {
namespace {

std::string executable_directory() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  path[length] = '\0';
  return std::filesystem::path(path).parent_path().string();
}

void* open_first(const std::string& explicit_path, std::string* error) {
  std::vector<std::string> candidates;
  if (!explicit_path.empty()) {
    candidates.push_back(explicit_path);
  } else {
    if (const char* env = std::getenv("QUILLMAR_PST_LIBRARY")) candidates.push_back(env);
    const std::string here = executable_directory();
    if (!here.empty()) {
      candidates.push_back(here + "/" + kLibraryFileName);
      candidates.push_back(here + "/../" QUILLMAR_INSTALL_LIBDIR "/" + kLibraryFileName);
    }
    candidates.push_back(kLibraryFileName);
  }
  for (const std::string& candidate : candidates) {
    const bool is_path = candidate.find('/') != std::string::npos;
    if (is_path && !std::filesystem::exists(candidate) && explicit_path.empty()) continue;
    if (void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    *error = dlerror();
  }
  if (error->empty()) *error = std::string("cannot find ") + kLibraryFileName;
  return nullptr;
}

}  // namespace

bool load_library(const std::string& explicit_path, LoadedLibrary* library, std::string* error) {
  void* handle = open_first(explicit_path, error);
  if (handle == nullptr) return false;
  library->export_fn = reinterpret_cast<ExportFn>(dlsym(handle, "pst_export_to_txt_w"));
  library->version_fn = reinterpret_cast<VersionFn>(dlsym(handle, "pst_reader_version"));
  if (library->export_fn == nullptr || library->version_fn == nullptr) {
    *error = std::string(kLibraryFileName) + " does not export both entry points";
    return false;
  }
  return true;
}

}  // namespace pst2txt
