#include "properties/record_set_values.h"


#include <algorithm>
#include <cstring>
#include <memory>

#include "properties/entry_types.h"
#include "properties/libpff_handles.h"
#include "scan/value_format.h"

namespace quillmar {
namespace {

// libpff's UTF-8 text of an 8-bit string entry, cut at its first 0 byte.
std::optional<std::string> read_string8_text(libpff_record_entry_t* entry) {
  libpff_error_t* error = nullptr;
  size_t size = 0;
  if (libpff_record_entry_get_data_as_utf8_string_size(entry, &size, &error) != 1 || size == 0) {
    discard_error(&error);
    return std::nullopt;
  }
  std::string text(size, '\0');
  if (libpff_record_entry_get_data_as_utf8_string(entry, reinterpret_cast<uint8_t*>(&text[0]),
                                                  size, &error) != 1) {
    discard_error(&error);
    return std::nullopt;
  }
  text.resize(strnlen(text.data(), size));
  return text;
}

// The last time value rendered in a record set: a message's times are
// often equal, and each rendering asks the C library for the local time.
struct LastTime {
  bool valid = false;
  uint64_t ticks = 0;
  std::string text;
};

// Room for entry values, reused from entry to entry; grown without clearing
// what libpff is about to overwrite (an attachment's data entry is the
// whole attachment).
class ValueBuffer {
 public:
  uint8_t* room_for(size_t size) {
    if (size > capacity_ || bytes_ == nullptr) {
      capacity_ = std::max({size, 2 * capacity_, size_t{256}});
      bytes_.reset(new uint8_t[capacity_]);
    }
    return bytes_.get();
  }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t capacity_ = 0;
};

RecordEntryValue read_entry(libpff_record_entry_t* entry, ValueBuffer& buffer,
                            LastTime& last_time) {
  RecordEntryValue value;
  libpff_record_entry_get_entry_type(entry, &value.entry_type, nullptr);
  libpff_record_entry_get_value_type(entry, &value.value_type, nullptr);
  libpff_error_t* error = nullptr;
  size_t size = 0;
  if (libpff_record_entry_get_data_size(entry, &size, &error) != 1) {
    discard_error(&error);
    return value;
  }
  uint8_t* bytes = buffer.room_for(size);
  if (size != 0 && libpff_record_entry_get_data(entry, bytes, size, &error) != 1) {
    discard_error(&error);
    return value;
  }
  value.readable = true;
  value.size = size;
  if (size >= 8) {
    std::memcpy(&value.head, bytes, 8);
    if constexpr (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__) value.head = __builtin_bswap64(value.head);
  } else {
    for (size_t i = size; i-- > 0;) value.head = value.head << 8 | bytes[i];
  }
  if (value.value_type == kValueFiletime && size >= 8 && last_time.valid &&
      last_time.ticks == value.head) {
    value.text = last_time.text;
  } else {
    value.text = render_value_text(value.value_type, bytes, size);
  }
  if (value.value_type == kValueFiletime && size >= 8) last_time = {true, value.head, value.text};
  if (value.value_type == kValueString8) value.string8_text = read_string8_text(entry);
  return value;
}

}  // namespace

std::optional<RecordSetValues> read_record_set(libpff_item_t* item, int set_index) {
  libpff_error_t* error = nullptr;
  RecordSetHandle record_set;
  RecordSetValues values;
  values.index = set_index;
  if (!obtained(libpff_item_get_record_set_by_index(item, set_index, record_set.out(), &error),
                record_set) ||
      libpff_record_set_get_number_of_entries(record_set.get(), &values.declared_entries,
                                              &error) != 1) {
    discard_error(&error);
    return std::nullopt;
  }
  values.entries.reserve(static_cast<size_t>(std::max(values.declared_entries, 0)));
  ValueBuffer buffer;
  LastTime last_time;
  for (int j = 0; j < values.declared_entries; ++j) {
    RecordEntryHandle entry;
    if (!obtained(libpff_record_set_get_entry_by_index(record_set.get(), j, entry.out(), &error),
                  entry)) {
      discard_error(&error);
      continue;
    }
    values.entries.push_back(read_entry(entry.get(), buffer, last_time));
  }
  return values;
}

ItemRecordSets read_record_sets(libpff_item_t* item) {
  libpff_error_t* error = nullptr;
  ItemRecordSets result;
  if (libpff_item_get_number_of_record_sets(item, &result.declared_sets, &error) != 1) {
    discard_error(&error);
    return result;
  }
  result.counted = true;
  for (int i = 0; i < result.declared_sets; ++i) {
    if (std::optional<RecordSetValues> set = read_record_set(item, i)) {
      result.sets.push_back(std::move(*set));
    }
  }
  return result;
}

}  // namespace quillmar
