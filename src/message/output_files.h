// Names and labels of what a message directory holds, and the one helper
// that writes a whole file.
#ifndef QUILLMAR_MESSAGE_OUTPUT_FILES_H_
#define QUILLMAR_MESSAGE_OUTPUT_FILES_H_

#include <filesystem>
#include <string_view>
#include <system_error>

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

// Creates or truncates path in binary mode and writes bytes. Returns false
// when the file cannot be opened, written or closed (a full disk included).
bool write_whole_file(const std::filesystem::path& path, std::string_view bytes);

// Creates directory and its missing parents; an existing directory is
// accepted. Throws std::filesystem::filesystem_error naming
// "create_directories" and the directory on failure.
void create_directory_tree(const std::filesystem::path& directory);

// Whether path names an existing entry. Throws filesystem_error naming
// "exists" when the file system reports anything but absence.
bool path_exists(const std::filesystem::path& path);

}  // namespace quillmar

#endif  // QUILLMAR_MESSAGE_OUTPUT_FILES_H_
