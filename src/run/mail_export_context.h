// The state of one export run, on the entry point's stack for the duration
// of the call and passed down by reference.
#ifndef QUILLMAR_RUN_MAIL_EXPORT_CONTEXT_H_
#define QUILLMAR_RUN_MAIL_EXPORT_CONTEXT_H_

#include <cstdint>
#include <filesystem>
#include <string>

#include "run/block_damage.h"
#include "run/console.h"

namespace quillmar {

// Text buffers a walker reuses from message to message: once they have
// grown, building a message's files allocates nothing for them.
struct MessageBuffers {
  std::string dump;       // debug_fields.txt
  std::string mail_text;  // mail.txt
};

struct MailExportContext {
  std::filesystem::path output_root;  // output directory exactly as given
  std::string archive_path;           // the archive, in UTF-8, as given
  std::string archive_name;           // sanitized archive stem; directory prefix
  int32_t mail_number = 0;            // number of the next message written; 1 once open
  Console* console = nullptr;         // where the run's lines go; set before any walk
  // This walker's part of a parallel run (see parallel_export.h); null when
  // the walk exports every message itself.
  struct WalkShare* share = nullptr;
  MessageBuffers buffers;  // this walker's own
  // What this walker's libpff handle had met when its last damage line (or
  // its open) was accounted for: damage beyond it is not named yet.
  BlockDamage damage_told;
};

}  // namespace quillmar

#endif  // QUILLMAR_RUN_MAIL_EXPORT_CONTEXT_H_
