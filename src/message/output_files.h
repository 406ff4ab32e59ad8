// Names and labels of what a message directory holds, and the file-system
// operations that write it: files are only ever created new, so no write
// goes through a link, and every failure is returned with its errno.
#ifndef QUILLMAR_MESSAGE_OUTPUT_FILES_H_
#define QUILLMAR_MESSAGE_OUTPUT_FILES_H_

#include <filesystem>
#include <string_view>
#include <system_error>

#include "run/console.h"

namespace quillmar {

inline constexpr char kMailOkFileName[] = "mail.ok";        // empty marker
inline constexpr char kMailTextFileName[] = "mail.txt";     // the eight records
inline constexpr char kHeadersFileName[] = "headers.txt";   // raw transport headers
inline constexpr char kAttachmentDirName[] = "pj";          // attachment files

// Labels of the eight records of mail.txt, in file order.
inline constexpr char kLabelWho[] = "#$who : ";
inline constexpr char kLabelSender[] = "#$eme : ";
inline constexpr char kLabelTo[] = "#$des : ";
inline constexpr char kLabelCc[] = "#$cop : ";
inline constexpr char kLabelPriority[] = "#$pri : ";
inline constexpr char kLabelSubject[] = "#$tit : ";
inline constexpr char kLabelDate[] = "#$dat : ";
inline constexpr char kLabelBody[] = "#$txt : ";

// Creates path as a new file (it must not exist: a link or anything else
// of that name is EEXIST, never followed) and writes bytes. Returns 0, or
// the errno of the first failing open, write or close, in which case the
// file is removed.
int write_new_file(const std::filesystem::path& path, std::string_view bytes);

// A file being written: created new as by write_new_file, then appended to.
// Unless close() succeeds, the destructor removes it.
class NewFile {
 public:
  explicit NewFile(const std::filesystem::path& path);
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Writes every byte, across short writes; nothing after a failure.
  void append(std::string_view bytes);
  // Closes the file; returns error().
  int close();
  // 0, or the errno of the first failure.
  int error() const { return error_; }

 private:
  std::filesystem::path path_;
  int descriptor_ = -1;
  int error_ = 0;
  bool closed_ = false;
};

// Writes "Impossible d'ecrire <path>: <system's text for error>" on
// console's error stream.
void report_write_failure(Console& console, const std::filesystem::path& path, int error);

// Creates directory and its missing parents; an existing directory is
// accepted. Throws std::filesystem::filesystem_error naming
// "create_directories" and the directory on failure.
void create_directory_tree(const std::filesystem::path& directory);

// Removes path and everything under it, links as links; absence is no
// error. Throws filesystem_error naming "remove_all" on failure.
void remove_directory_tree(const std::filesystem::path& path);

// Whether path names an existing entry, following links. Throws
// filesystem_error naming "exists" when the file system reports anything
// but absence.
bool path_exists(const std::filesystem::path& path);

// Whether any entry, a link included (dangling or not), has path's name.
// Throws as path_exists.
bool name_taken(const std::filesystem::path& path);

}  // namespace quillmar

#endif  // QUILLMAR_MESSAGE_OUTPUT_FILES_H_
