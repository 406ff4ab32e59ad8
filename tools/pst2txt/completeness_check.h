// Beside an export or after it: is every message the archive declares
// accounted for in the output directory? The archive is read again through
// libpff, walked with this file's own walk in the library's order (root
// folder, then the folder the message store names, twice), and each message
// is found written, discarded as empty, or missing; and, where libpff counts
// them, the messages, attachments and folders whose reads met damaged blocks.
#ifndef QUILLMAR_TOOLS_PST2TXT_COMPLETENESS_CHECK_H_
#define QUILLMAR_TOOLS_PST2TXT_COMPLETENESS_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "export_progress.h"

namespace pst2txt {

struct Completeness {
  bool archive_read = false;     // libpff opened the archive
  uint64_t reached = 0;          // messages the walks reach (unreadable ones included)
  uint64_t written = 0;          // found with mail.ok and the exact mail.txt
  uint64_t empty = 0;            // nothing to show: not written by design
  uint64_t attachments = 0;      // attachment files found with their declared size
  std::vector<std::string> missing;  // one line per loss, in walk order
  // One line per message file, folder or archive opening whose reads met
  // damaged blocks, in walk order. Never filled on the system's libpff.
  std::vector<std::string> damaged;
};

// Messages the walks reach, from the folders' counts alone (no message is
// read); nothing when libpff cannot open the archive.
bool count_reached_messages(const std::string& archive, uint64_t* count);

// A message counts as written when a directory <archive name>_<digits> of
// output_dir holds mail.txt with exactly the bytes the export writes for it
// (a truncated or foreign file does not count) and mail.ok, and its pj/
// holds one file of each attachment's declared size (non-empty ones: an
// empty attachment is not written). Messages are looked for under their
// expected number first, then among all directories, each used once, so
// one lost message does not hide the ones after it.
// Damage is told apart by where the checker's own reads met it: opening
// the archive, a folder's own records, a message's attachment (whose data
// the checker reads, and which names the file of that size it matched) or
// the rest of a message (naming its mail.txt). A damaged message still
// counts as written: the damage only says some of its bytes may be wrong.
// Independent of the export's code: the walk, the attachment sizes and the
// file checks. Shared with it: the archive name, the resolution of a
// message's fields (which also says whether it is empty) and mail.txt's
// layout.
// A message's directory under its expected number is read once progress
// has passed that number, and all directories are listed once it has passed
// the end: an export running beside the check is followed, never overtaken
// (for an earlier export, give a finished progress). Once progress stops,
// the walk ends early and its result means nothing. Dates are read in the
// time zone the caller has loaded (quillmar::load_time_zone).
Completeness check_completeness(const std::string& archive, const std::string& output_dir,
                                ExportProgress& progress);

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_COMPLETENESS_CHECK_H_
