// Walk over an item's raw property records: each entry's value is rendered
// as text, folded into a MessageFields, and listed in a diagnostic dump.
#ifndef QUILLMAR_SCAN_RECORD_SET_SCAN_H_
#define QUILLMAR_SCAN_RECORD_SET_SCAN_H_

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include <libpff.h>

#include "fields/message_fields.h"

namespace quillmar {

// Visits every record set and entry of item in libpff's order, applying
// collect_field to each entry obtained and, when out is not null, writing
// "record_sets=N", then per set an empty line and "[record_set i] entries=M",
// then one "entry=" line per entry (all lines end in CR LF). Failures are
// absorbed: a set or entry that cannot be obtained is skipped without a line;
// a value that cannot be read is shown with size=0 and no value. If the
// number of record sets cannot be read, nothing is written or changed.
void scan_record_sets(libpff_item_t* item, MessageFields& fields, std::ostream* out);

// The part of scan_record_sets for record set set_index alone: its empty
// line, "[record_set i] entries=M" and entry lines when out is not null. A
// set that cannot be obtained changes and writes nothing.
void scan_record_set_at(libpff_item_t* item, int set_index, MessageFields& fields,
                        std::ostream* out = nullptr);

// Folds the rendered value text of one entry into fields. The text is
// trimmed first; empty text changes nothing. Sender types, subject, the three
// times, body, HTML body and headers fill their field only when it is empty;
// display To/Cc lists are normalized and appended unless already contained;
// importance replaces the priority when its text parses as a number.
void collect_field(MessageFields& fields, uint32_t entry_type, const std::string& text);

// Importance text read as strtoul reads base 10 (optional sign, digits,
// trailing text ignored, '-' negates modulo 2^32); nothing when there is no
// digit or the magnitude does not fit in 32 bits.
std::optional<uint32_t> parse_importance(const std::string& text);

}  // namespace quillmar

#endif  // QUILLMAR_SCAN_RECORD_SET_SCAN_H_
