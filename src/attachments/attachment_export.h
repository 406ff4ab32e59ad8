// Export of a message's attachments as files in its "pj" sub-directory.
#ifndef QUILLMAR_ATTACHMENTS_ATTACHMENT_EXPORT_H_
#define QUILLMAR_ATTACHMENTS_ATTACHMENT_EXPORT_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>

#include <libpff.h>

#include "message/output_files.h"
#include "run/block_damage.h"
#include "run/console.h"

namespace quillmar {

// Upper bound of every read and of the copy buffer (which is no larger than
// the attachment).
inline constexpr size_t kAttachmentChunkSize = 1048576;
// Longest file name, in bytes, that the file systems we write to accept.
inline constexpr size_t kMaxFileNameBytes = 255;

// Creates message_dir/pj (throws filesystem_error naming
// "create_directories" on failure), then copies each readable attachment of
// non-zero size into a file named by choose_attachment_file_name. A count or
// attachment that cannot be read, and a data read that fails or ends before
// the size libpff gave, are reported on console with libpff's text,
// and a failed read leaves the bytes copied so far. A file that cannot be
// created or written in full is reported with the system's reason and
// removed. Damage met while reading an attachment, beyond damage_told (which
// then covers it), is named with the attachment's file, whether written or
// not; damage met between attachments is left to the caller.
void export_attachments(libpff_item_t* message, const OutputDirectory& message_dir,
                        Console& console, BlockDamage& damage_told);

// "piece_jointe_" + number padded to 4 digits + ".bin".
std::string default_attachment_name(int32_t number);

// The long file name (0x3707), else the short one (0x3704), else the default
// name. A name entry that reads successfully is returned even when empty.
std::string read_attachment_name(libpff_item_t* attachment, int32_t number);

// For one directory, the next "_k" suffix to try for each name that needed
// one: files are only added while a message is exported, so the suffixes
// below it are all taken, and n attachments of one name cost O(n) look-ups
// in all instead of O(n^2).
using NextSuffixes = std::unordered_map<std::string, uint64_t>;

// A file name that no entry of directory, a link included, has yet:
// candidate sanitized (the default name for "fichier" or empty), shortened
// at a UTF-8 boundary to fit kMaxFileNameBytes while keeping its extension,
// then suffixed "_2", "_3"... before the extension until it is free. next_suffix belongs to directory.
// Throws filesystem_error naming "exists" when the file system cannot tell.
std::string choose_attachment_file_name(const OutputDirectory& directory,
                                        std::string candidate, int32_t number,
                                        NextSuffixes& next_suffix);

}  // namespace quillmar

#endif  // QUILLMAR_ATTACHMENTS_ATTACHMENT_EXPORT_H_
