// pst2txt ARCHIVE OUTPUT_DIR: exports a PST/OST archive with QuillmarPST.so,
// loaded at run time through its two C entry points, the way a host does.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host_arguments.h"

namespace {

constexpr char kLibraryFileName[] = "QuillmarPST.so";

using ExportFn = int32_t (*)(const wchar_t*, const wchar_t*);
using VersionFn = const char* (*)();

void print_usage(FILE* stream) {
  std::fprintf(stream,
               "usage: pst2txt [--force] [--library PATH] ARCHIVE OUTPUT_DIR\n"
               "       pst2txt --version | --help\n"
               "\n"
               "Exports every message of the PST/OST ARCHIVE into OUTPUT_DIR, one\n"
               "directory per message. Refuses a non-empty OUTPUT_DIR unless --force.\n"
               "The library is looked up in --library, $QUILLMAR_PST_LIBRARY, next to\n"
               "this program, in ../" QUILLMAR_INSTALL_LIBDIR " from it, then on the loader's\n"
               "search path.\n");
}

std::string executable_directory() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  path[length] = '\0';
  return std::filesystem::path(path).parent_path().string();
}

void* load_library(const std::string& explicit_path, std::string* error) {
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

int run(const pst2txt::Options& options) {
  std::string error;
  void* library = load_library(options.library, &error);
  if (library == nullptr) {
    std::fprintf(stderr, "pst2txt: %s\n", error.c_str());
    return 2;
  }
  auto export_fn = reinterpret_cast<ExportFn>(dlsym(library, "pst_export_to_txt_w"));
  auto version_fn = reinterpret_cast<VersionFn>(dlsym(library, "pst_reader_version"));
  if (export_fn == nullptr || version_fn == nullptr) {
    std::fprintf(stderr, "pst2txt: %s does not export both entry points\n", kLibraryFileName);
    return 2;
  }
  if (options.version) {
    std::printf("%s\n", version_fn());
    return 0;
  }
  const std::optional<std::wstring> archive = pst2txt::utf8_to_wide(options.archive);
  const std::optional<std::wstring> output = pst2txt::utf8_to_wide(options.output_dir);
  if (!archive || !output) {
    std::fprintf(stderr, "pst2txt: %s is not valid UTF-8\n",
                 archive ? "OUTPUT_DIR" : "ARCHIVE");
    return 2;
  }
  std::string reason;
  if (!pst2txt::output_dir_acceptable(options.output_dir, options.force, &reason)) {
    std::fprintf(stderr, "pst2txt: %s\n", reason.c_str());
    return 2;
  }
  std::fflush(stdout);
  const int32_t result = export_fn(archive->c_str(), output->c_str());
  std::fflush(stdout);
  if (result < 0) {
    std::fprintf(stderr, "pst2txt: export failed with code %d\n", static_cast<int>(result));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::optional<pst2txt::Options> options =
      pst2txt::parse_arguments(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "pst2txt: %s\n", error.c_str());
    print_usage(stderr);
    return 2;
  }
  if (options->help) {
    print_usage(stdout);
    return 0;
  }
  return run(*options);
}
