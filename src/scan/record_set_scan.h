// Walk over an item's property records as read once: each entry's text is
// folded into a MessageFields and listed in a diagnostic dump.
#ifndef QUILLMAR_SCAN_RECORD_SET_SCAN_H_
#define QUILLMAR_SCAN_RECORD_SET_SCAN_H_

#include <cstdint>
#include <optional>
#include <string>

#include "fields/message_fields.h"
#include "properties/record_set_values.h"

namespace quillmar {

// Folds every entry of sets into fields with collect_field, in libpff's
// order, and with dump appends "record_sets=N", then per set an empty line
// and "[record_set i] entries=M", then one "entry=" line per entry (all lines
// end in CR LF): an entry libpff could not give has no line; a value that
// could not be read shows size=0 and no value. Sets libpff could not count
// change and write nothing.
void scan_record_sets(const ItemRecordSets& sets, MessageFields& fields, std::string* dump);

// The part of scan_record_sets for one record set: its empty line, its
// "[record_set i] entries=M" line and its entry lines.
void scan_record_set(const RecordSetValues& set, MessageFields& fields,
                     std::string* dump = nullptr);

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
