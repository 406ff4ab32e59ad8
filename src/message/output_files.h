// Names and labels of what a message directory holds, and the helpers that
// write it on top of the platform's files: files are only ever created new,
// so no write goes through a link, and every failure is returned with the
// system's error number.
#ifndef QUILLMAR_MESSAGE_OUTPUT_FILES_H_
#define QUILLMAR_MESSAGE_OUTPUT_FILES_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/platform.h"
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

// Creates name in directory as a new file (it must not exist: a link or
// anything else of that name is an error, never followed) and writes bytes.
// Returns 0, or the system's error number of the first failing open, write
// or close, in which case the file is removed.
int write_new_file(const OutputDirectory& directory, const std::string& name,
                   std::string_view bytes);

// Writes "Impossible d'ecrire <path>: <system's text for error>" on
// console's error stream.
void report_write_failure(Console& console, const std::filesystem::path& path, int error);

}  // namespace quillmar

#endif  // QUILLMAR_MESSAGE_OUTPUT_FILES_H_
