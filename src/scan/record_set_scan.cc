#include "scan/record_set_scan.h"

#include <cstdio>
#include <vector>

#include "message/text_cleanup.h"
#include "properties/entry_types.h"
#include "properties/libpff_handles.h"
#include "scan/value_format.h"

namespace quillmar {
namespace {

constexpr char kCrLf[] = "\r\n";

// Lower-case hexadecimal of at least four digits.
std::string hex4(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
  return text;
}

void set_if_empty(std::string& field, const std::string& value) {
  if (field.empty()) field = value;
}

// One entry's value: its bytes (empty when unavailable) and rendered text.
struct EntryValue {
  std::vector<uint8_t> bytes;
  std::string text;
};

EntryValue read_entry_value(libpff_record_entry_t* entry, uint32_t value_type) {
  libpff_error_t* error = nullptr;
  EntryValue value;
  size_t size = 0;
  if (libpff_record_entry_get_data_size(entry, &size, &error) != 1 || size == 0) {
    discard_error(&error);
    return value;
  }
  value.bytes.assign(size, 0);
  if (libpff_record_entry_get_data(entry, value.bytes.data(), size, &error) != 1) {
    discard_error(&error);
    value.bytes.clear();
    return value;
  }
  value.text = render_value_text(value_type, value.bytes.data(), value.bytes.size());
  return value;
}

void write_entry_line(std::ostream& out, uint32_t entry_type, uint32_t value_type,
                      const EntryValue& value) {
  out << "entry=0x" << hex4(entry_type) << " value_type=0x" << hex4(value_type)
      << " size=" << std::to_string(value.bytes.size());
  if (!value.text.empty()) out << " value=" << value.text;
  out << kCrLf;
}

void scan_entry(libpff_record_entry_t* entry, MessageFields& fields, std::ostream* out) {
  uint32_t entry_type = 0;
  uint32_t value_type = 0;
  libpff_record_entry_get_entry_type(entry, &entry_type, nullptr);
  libpff_record_entry_get_value_type(entry, &value_type, nullptr);
  const EntryValue value = read_entry_value(entry, value_type);
  collect_field(fields, entry_type, value.text);
  if (out != nullptr) write_entry_line(*out, entry_type, value_type, value);
}

void scan_record_set(libpff_record_set_t* record_set, int index,
                     MessageFields& fields, std::ostream* out) {
  libpff_error_t* error = nullptr;
  int entry_count = 0;
  if (libpff_record_set_get_number_of_entries(record_set, &entry_count, &error) != 1) {
    discard_error(&error);
    return;
  }
  if (out != nullptr) {
    *out << kCrLf << "[record_set " << std::to_string(index)
         << "] entries=" << std::to_string(entry_count) << kCrLf;
  }
  for (int j = 0; j < entry_count; ++j) {
    RecordEntryHandle entry;
    if (!obtained(libpff_record_set_get_entry_by_index(record_set, j, entry.out(), &error),
                  entry)) {
      discard_error(&error);
      continue;
    }
    scan_entry(entry.get(), fields, out);
  }
}

}  // namespace

void scan_record_set_at(libpff_item_t* item, int set_index, MessageFields& fields,
                        std::ostream* out) {
  libpff_error_t* error = nullptr;
  RecordSetHandle record_set;
  if (!obtained(libpff_item_get_record_set_by_index(item, set_index, record_set.out(), &error),
                record_set)) {
    discard_error(&error);
    return;
  }
  scan_record_set(record_set.get(), set_index, fields, out);
}

void scan_record_sets(libpff_item_t* item, MessageFields& fields, std::ostream* out) {
  libpff_error_t* error = nullptr;
  int set_count = 0;
  if (libpff_item_get_number_of_record_sets(item, &set_count, &error) != 1) {
    discard_error(&error);
    return;
  }
  if (out != nullptr) *out << "record_sets=" << std::to_string(set_count) << kCrLf;
  for (int i = 0; i < set_count; ++i) scan_record_set_at(item, i, fields, out);
}

std::optional<uint32_t> parse_importance(const std::string& text) {
  size_t pos = 0;
  while (pos < text.size() && is_white_space(static_cast<unsigned char>(text[pos]))) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  uint64_t magnitude = 0;
  size_t digits = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, ++digits) {
    magnitude = magnitude * 10 + static_cast<uint64_t>(text[pos] - '0');
    if (magnitude > UINT32_MAX) return std::nullopt;
  }
  if (digits == 0) return std::nullopt;
  const uint32_t value = static_cast<uint32_t>(magnitude);
  return negative ? static_cast<uint32_t>(0u - value) : value;
}

void collect_field(MessageFields& fields, uint32_t entry_type, const std::string& text) {
  const std::string t = trim_whitespace(text);
  if (t.empty()) return;
  switch (entry_type) {
    case kEntryImportance:
      if (const std::optional<uint32_t> value = parse_importance(t)) {
        fields.priority = priority_label(static_cast<int32_t>(*value));
      }
      break;
    case kEntrySubject:
      set_if_empty(fields.subject, t);
      break;
    case kEntryClientSubmitTime:
    case kEntryDeliveryTime:
    case kEntryCreationTime:
      set_if_empty(fields.date, t);
      break;
    case kEntrySentRepresentingName:
    case kEntrySentRepresentingEmail:
    case kEntrySenderName:
    case kEntrySenderEmail:
      set_if_empty(fields.sender, t);
      break;
    case kEntryTransportHeaders:
      set_if_empty(fields.headers, t);
      break;
    case kEntryBody:
    case kEntryHtmlBody:
      set_if_empty(fields.body, t);
      break;
    case kEntryDisplayCc:
      fields.cc = append_unique_item(std::move(fields.cc), normalize_recipient_list(t));
      break;
    case kEntryDisplayTo:
      fields.to = append_unique_item(std::move(fields.to), normalize_recipient_list(t));
      break;
    default:
      break;
  }
}

}  // namespace quillmar
