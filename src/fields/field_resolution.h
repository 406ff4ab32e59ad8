// Resolution of a message's output fields from its properties, raw records,
// recipients and transport headers, with the diagnostic dump of all of them.
#ifndef QUILLMAR_FIELDS_FIELD_RESOLUTION_H_
#define QUILLMAR_FIELDS_FIELD_RESOLUTION_H_

#include <filesystem>
#include <string>

#include <libpff.h>

#include "fields/message_fields.h"
#include "message/output_files.h"
#include "run/console.h"

namespace quillmar {

// Name of the diagnostic dump inside a message directory.
inline constexpr char kDebugFieldsFileName[] = "debug_fields.txt";

// Resolves the fields of message and, unless dump is null, appends the
// dump's bytes to it.
// Sources per field, first non-empty wins unless noted:
//   who       archive_name
//   sender    0x0C1F, 0x0065, 0x0C1A, 0x0042 read directly; first record
//             entry of those types; the From header
//   to / cc   0x0E04 / 0x0E03 normalized; record lists and recipients of
//             the matching type appended; if still empty, the To / Cc header
//   priority  0x0017 (1 when absent), replaced by a parsable record entry
//   subject   0x0037; record entry; the Subject header; then cleaned
//   date      first record time entry (0x0039, 0x0E06, 0x3007); Date header
//   body      plain-text body (see read_plain_text_body); record body entry
//   headers   0x007D; record entry
// The dump's [final] section shows the fields before the subject cleanup.
MessageFields resolve_message_fields(libpff_item_t* message,
                                     const std::string& archive_name,
                                     std::string* dump);

// resolve_message_fields with the dump, built in dump (emptied first),
// written to debug_fields.txt, created new in message_dir. A file that
// cannot be written in full is reported on console, removed, and changes
// nothing in the result.
MessageFields dump_debug_fields(libpff_item_t* message,
                                const std::string& archive_name,
                                const OutputDirectory& message_dir, Console& console,
                                std::string& dump);

}  // namespace quillmar

#endif  // QUILLMAR_FIELDS_FIELD_RESOLUTION_H_
