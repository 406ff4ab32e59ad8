// The entries of an item's record sets, each read from libpff once: type,
// value type, bytes and the text that every later use derives from.
#ifndef QUILLMAR_PROPERTIES_RECORD_SET_VALUES_H_
#define QUILLMAR_PROPERTIES_RECORD_SET_VALUES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <libpff.h>

namespace quillmar {

struct RecordEntryValue {
  uint32_t entry_type = 0;  // 0 when libpff cannot tell
  uint32_t value_type = 0;  // 0 when libpff cannot tell
  size_t size = 0;          // bytes in the value; 0 when unreadable
  uint64_t head = 0;        // its first 8 bytes (fewer zero-padded), little-endian
  bool readable = false;    // the value was read (possibly as 0 bytes)
  std::string text;         // render_value_text of the value; "" when unreadable
  // 8-bit strings (0x001E) only: libpff's own UTF-8 text of the value, in
  // the archive's code page; nothing when libpff cannot convert it.
  std::optional<std::string> string8_text;
};

struct RecordSetValues {
  int index = 0;           // record set number within its item
  int declared_entries = 0;
  std::vector<RecordEntryValue> entries;  // those libpff could give, in order
};

struct ItemRecordSets {
  bool counted = false;  // libpff told the number of record sets
  int declared_sets = 0;
  std::vector<RecordSetValues> sets;  // those libpff could give, in order
};

// Record set set_index of item; nothing when libpff cannot give the set or
// its number of entries. An entry libpff cannot give is left out; one whose
// bytes cannot be read is kept, not readable.
std::optional<RecordSetValues> read_record_set(libpff_item_t* item, int set_index);

// Every record set of item, as read_record_set reads each.
ItemRecordSets read_record_sets(libpff_item_t* item);

}  // namespace quillmar

#endif  // QUILLMAR_PROPERTIES_RECORD_SET_VALUES_H_
