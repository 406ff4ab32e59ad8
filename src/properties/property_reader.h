// Silent readers of item values: an absent or unreadable value gives empty
// text or the caller's default, never a failure and never any output. Every
// libpff error object met on the way is freed before return.
#ifndef QUILLMAR_PROPERTIES_PROPERTY_READER_H_
#define QUILLMAR_PROPERTIES_PROPERTY_READER_H_

#include <cstdint>
#include <optional>
#include <string>

#include <libpff.h>

#include "properties/record_set_values.h"

namespace quillmar {

// Value-type matching flag passed to libpff's entry-value functions. libpff
// rejects 0x01 in these functions ("unsupported flags"); 0 already matches a
// string entry whatever its string value type and returns it as UTF-8.
inline constexpr uint8_t kEntryValueFlags = 0;

// Entry entry_type of record set set_index (0: the item's own properties;
// i: recipient i of a recipients item) as UTF-8, cut at its first 0 byte;
// nothing when missing, of size 0 or unreadable.
std::optional<std::string> try_read_utf8_property(libpff_item_t* item, uint32_t entry_type,
                                                  uint8_t flags = kEntryValueFlags,
                                                  int set_index = 0);

// Entry entry_type of the item's own record set as text: a UTF-16 value
// decoded from its stored bytes as string_entry decodes them (surrogate
// pairs mended), any other value as try_read_utf8_property gives it.
std::optional<std::string> try_read_text_property(libpff_item_t* item, uint32_t entry_type);

// Entry entry_type of record set set_index as a 32-bit value; default_value
// when missing or unreadable.
uint32_t read_u32_property(libpff_item_t* item, uint32_t entry_type,
                           uint32_t default_value, int set_index = 0);

// The first entry of entry_type in set as text, as libpff's entry-value
// reads give it, from the bytes already read: UTF-16 (0x001F) decoded up to
// its first 0 unit, without a leading byte-order mark, nothing for 0 or an
// odd number of bytes; 8-bit (0x001E) as libpff converts it; nothing for other
// value types, an unreadable value or no such entry. Where libpff decodes a
// surrogate pair wrongly, or swallows the unit after an unpaired high
// surrogate (or fails on one at the end), this text has the character, and
// U+FFFD for the unpaired surrogate alone.
std::optional<std::string> string_entry(const RecordSetValues& set, uint32_t entry_type);

// string_entry's text as a view into set, "" for nothing.
std::string_view string_entry_view(const RecordSetValues& set, uint32_t entry_type);

// string_entry, with "" for nothing.
std::string string_entry_or_empty(const RecordSetValues& set, uint32_t entry_type);

// The first entry of entry_type in set that holds a 32-bit integer (0x0003),
// little-endian; default_value when there is none or it is not 4 bytes.
uint32_t u32_entry(const RecordSetValues& set, uint32_t entry_type, uint32_t default_value);

// The message body, trying in order: libpff's plain-text body; entry 0x1000
// as text; entry 0x1013 as text; libpff's HTML body. The first non-empty one
// wins, except that a plain-text body libpff reports as present is returned
// even when it reads as empty. Each is cut at its first 0 byte. own is the
// message's record set 0 (null when unreadable); a UTF-16 0x1000 entry with
// text is taken from it as string_entry gives it, which is what libpff's
// plain-text body is for such an entry.
std::string read_plain_text_body(libpff_item_t* message, const RecordSetValues* own);

}  // namespace quillmar

#endif  // QUILLMAR_PROPERTIES_PROPERTY_READER_H_
