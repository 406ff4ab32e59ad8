// Finding and loading the library the way a host does: loaded at run time,
// then its two C entry points by name.
#ifndef QUILLMAR_TOOLS_PST2TXT_LIBRARY_LOADER_H_
#define QUILLMAR_TOOLS_PST2TXT_LIBRARY_LOADER_H_

#include <string>

#include "archive_job.h"

namespace pst2txt {

// QuillmarPST.so, QuillmarPST.dll: the build names it.
inline constexpr char kLibraryFileName[] = QUILLMAR_LIBRARY_FILE_NAME;

using VersionFn = const char* (*)();

struct LoadedLibrary {
  ExportFn export_fn = nullptr;
  VersionFn version_fn = nullptr;
  std::string path;  // the candidate that loaded, for a child process to load again
};

// Loads explicit_path when given; otherwise $QUILLMAR_PST_LIBRARY, the file
// next to this program, ../<libdir>/ from it (../bin on Windows, where the
// installed library sits beside the program anyway), then the loader's
// search path. False with error set when no candidate loads or it lacks an
// entry point.
bool load_library(const std::string& explicit_path, LoadedLibrary* library, std::string* error);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_LIBRARY_LOADER_H_
