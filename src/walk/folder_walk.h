// Depth-first walk over folders, handing every message to export_message.
#ifndef QUILLMAR_WALK_FOLDER_WALK_H_
#define QUILLMAR_WALK_FOLDER_WALK_H_

#include <cstdint>

#include <libpff.h>

#include "run/mail_export_context.h"

namespace quillmar {

// Deepest folder nesting the walk enters; far beyond any real archive, it
// only stops a damaged one from exhausting the stack.
inline constexpr int kMaxFolderDepth = 256;

// Exports the messages of folder in index order, then walks each sub-folder
// the same way. An unreadable message, sub-folder or count is reported on
// standard error with libpff's text, and skipped. A sub-folder
// deeper than kMaxFolderDepth, or whose identifier is already on the path
// being walked, is reported and not entered. folder is borrowed.
void walk_folder(libpff_item_t* folder, MailExportContext& context);

struct ArchiveWalk {
  bool root_read = false;   // libpff gave the root folder
  bool store_read = false;  // libpff gave the message store
};

// The whole walk of a run: "Parcours root_folder" and the root folder, then
// "Message store OK" and the folders the store names for IPM_SUBTREE and
// TOP_OF_PERSONAL_FOLDERS (0x35E0 both). A root folder or store libpff
// cannot give is reported and skipped. Damage met in a folder's own reads is
// named with the folder, damage met outside any folder with the archive.
ArchiveWalk walk_archive(libpff_file_t* file, MailExportContext& context);

// Names, in one line on console's error stream, damage folder's handle has
// met beyond context.damage_told (which then covers it), as met in "le
// dossier id=<n>".
void tell_folder_damage(libpff_item_t* folder, MailExportContext& context, Console& console);

// Frees the folder's contents table (a record set per message), which it
// otherwise keeps until it is freed: a walk calls this once the folder's
// messages are walked, so that it does not hold the tables of every folder
// on its path. A later message count reads the table again. Does nothing
// on the system's libpff.
void release_contents_table(libpff_item_t* folder);

// Reads a folder identifier from entry_type of store (0 when missing),
// prints "<label> id=<n>", and when it is not 0 opens that item, prints
// "Parcours <label>" and walks it as a folder.
void walk_folder_by_identifier(libpff_file_t* file, libpff_item_t* store,
                               uint32_t entry_type, const char* label,
                               MailExportContext& context);

}  // namespace quillmar

#endif  // QUILLMAR_WALK_FOLDER_WALK_H_
