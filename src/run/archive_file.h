// Owner of one open libpff file object.
#ifndef QUILLMAR_RUN_ARCHIVE_FILE_H_
#define QUILLMAR_RUN_ARCHIVE_FILE_H_

#include <filesystem>

#include <libpff.h>

#include "platform/platform.h"

namespace quillmar {

// Closes and frees the file object at the end of its scope.
class ArchiveFile {
 public:
  ArchiveFile() = default;
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;
  ~ArchiveFile() { release(); }

  libpff_file_t** out() { return &file_; }
  libpff_file_t* get() const { return file_; }
  bool is_open() const { return open_; }
  void mark_open() { open_ = true; }

  void release() {
    if (open_) libpff_file_close(file_, nullptr);
    open_ = false;
    if (file_ != nullptr) libpff_file_free(&file_, nullptr);
    file_ = nullptr;
  }

 private:
  libpff_file_t* file_ = nullptr;
  bool open_ = false;
};

// Initializes file and opens path read-only. False on failure, with error
// set by libpff.
inline bool open_archive(ArchiveFile& file, const std::filesystem::path& path,
                         libpff_error_t** error) {
  if (libpff_file_initialize(file.out(), error) != 1) return false;
  if (open_libpff_file(file.get(), path, error) != 1) return false;
  file.mark_open();
  return true;
}

}  // namespace quillmar

#endif  // QUILLMAR_RUN_ARCHIVE_FILE_H_
