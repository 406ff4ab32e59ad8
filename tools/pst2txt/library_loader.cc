#include "library_loader.h"

#include <filesystem>
#include <vector>

#include "host_platform.h"

namespace pst2txt {
namespace {

void* open_first(const std::string& explicit_path, std::string* loaded, std::string* error) {
  std::vector<std::string> candidates;
  if (!explicit_path.empty()) {
    candidates.push_back(explicit_path);
  } else {
    if (std::optional<std::string> env = environment_variable("QUILLMAR_PST_LIBRARY")) {
      candidates.push_back(*env);
    }
    const std::string here = executable_directory();
    if (!here.empty()) {
      candidates.push_back(here + "/" + kLibraryFileName);
      candidates.push_back(here + "/../" QUILLMAR_INSTALL_LIBDIR "/" + kLibraryFileName);
    }
    candidates.push_back(kLibraryFileName);
  }
  for (const std::string& candidate : candidates) {
    // A missing file with a directory part is passed over, so that the
    // error told is the one of a file that exists.
    const std::filesystem::path path = std::filesystem::u8path(candidate);
    std::error_code ignored;
    if (explicit_path.empty() && path.has_parent_path() &&
        !std::filesystem::exists(path, ignored)) {
      continue;
    }
    if (void* handle = open_library(candidate, error)) {
      *loaded = candidate;
      return handle;
    }
  }
  if (error->empty()) *error = std::string("cannot find ") + kLibraryFileName;
  return nullptr;
}

}  // namespace

bool load_library(const std::string& explicit_path, LoadedLibrary* library, std::string* error) {
  void* handle = open_first(explicit_path, &library->path, error);
  if (handle == nullptr) return false;
  library->export_fn = reinterpret_cast<ExportFn>(library_symbol(handle, "pst_export_to_txt_w"));
  library->version_fn = reinterpret_cast<VersionFn>(library_symbol(handle, "pst_reader_version"));
  if (library->export_fn == nullptr || library->version_fn == nullptr) {
    *error = std::string(kLibraryFileName) + " does not export both entry points";
    return false;
  }
  return true;
}

}  // namespace pst2txt
