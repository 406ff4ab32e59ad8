// Names and labels of what a message directory holds, and the file-system
// operations that write it: files are only ever created new, so no write
// goes through a link, and every failure is returned with its errno.
#ifndef QUILLMAR_MESSAGE_OUTPUT_FILES_H_
#define QUILLMAR_MESSAGE_OUTPUT_FILES_H_

#include <filesystem>
#include <string>
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

// A directory that files are created in by name through its descriptor, so
// that no path is walked again per file and nothing put in the directory's
// place later is written through.
class OutputDirectory {
 public:
  // Creates path, and its missing parents, as a new empty directory; what
  // is there already (a link too, which is not followed) is removed first.
  // Throws filesystem_error naming "remove_all" or "create_directories" and
  // the path on failure.
  static OutputDirectory create_fresh(const std::filesystem::path& path);
  // Creates sub-directory name, which must not exist yet. Throws
  // filesystem_error naming "create_directories" on failure.
  void make_sub_directory(const char* name) const;
  // make_sub_directory, and the new directory to create files in.
  OutputDirectory create_sub_directory(const char* name) const;

  OutputDirectory(OutputDirectory&& other) noexcept;
  OutputDirectory& operator=(OutputDirectory&&) = delete;
  ~OutputDirectory();

  int descriptor() const { return descriptor_; }
  const std::filesystem::path& path() const { return path_; }

 private:
  OutputDirectory(std::filesystem::path path, int descriptor)
      : path_(std::move(path)), descriptor_(descriptor) {}
  std::filesystem::path path_;
  int descriptor_ = -1;
};

// Creates name in directory as a new file (it must not exist: a link or
// anything else of that name is EEXIST, never followed) and writes bytes.
// Returns 0, or the errno of the first failing open, write or close, in
// which case the file is removed.
int write_new_file(const OutputDirectory& directory, const std::string& name,
                   std::string_view bytes);

// A file being written: created new as by write_new_file, then appended to.
// Unless close() succeeds, the destructor removes it.
class NewFile {
 public:
  NewFile(const OutputDirectory& directory, std::string name);
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
  const OutputDirectory& directory_;
  std::string name_;
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

// Gives directory the name path, replacing what is there (removed first
// when a rename cannot replace it, links as links). Throws filesystem_error
// on failure.
void move_directory(const std::filesystem::path& directory, const std::filesystem::path& path);

// Whether path names an existing entry, following links. Throws
// filesystem_error naming "exists" when the file system reports anything
// but absence.
bool path_exists(const std::filesystem::path& path);

// Whether any entry of directory, a link included (dangling or not), has
// this name. Throws filesystem_error naming "exists" when the file system
// cannot tell.
bool name_taken(const OutputDirectory& directory, const std::string& name);

}  // namespace quillmar

#endif  // QUILLMAR_MESSAGE_OUTPUT_FILES_H_
