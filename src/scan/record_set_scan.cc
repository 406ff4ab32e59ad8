#include "scan/record_set_scan.h"

#include "message/text_cleanup.h"
#include "properties/entry_types.h"
#include "scan/value_format.h"

namespace quillmar {
namespace {

constexpr char kCrLf[] = "\r\n";

// Lower-case hexadecimal of at least four digits.
void append_hex4(std::string& out, uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char text[8];
  char* const end = text + sizeof text;
  char* begin = end;
  do {
    *--begin = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0 || end - begin < 4);
  out.append(begin, static_cast<size_t>(end - begin));
}

void append_entry_line(std::string& out, const RecordEntryValue& entry) {
  out += "entry=0x";
  append_hex4(out, entry.entry_type);
  out += " value_type=0x";
  append_hex4(out, entry.value_type);
  out += " size=";
  out += std::to_string(entry.size);
  if (!entry.text.empty()) {
    out += " value=";
    out += entry.text;
  }
  out += kCrLf;
}

// The field that entry_type fills while it is empty, or null.
std::string* field_filled_once(MessageFields& fields, uint32_t entry_type) {
  switch (entry_type) {
    case kEntrySubject:
      return &fields.subject;
    case kEntryClientSubmitTime:
    case kEntryDeliveryTime:
    case kEntryCreationTime:
      return &fields.date;
    case kEntrySentRepresentingName:
    case kEntrySentRepresentingEmail:
    case kEntrySenderName:
    case kEntrySenderEmail:
      return &fields.sender;
    case kEntryTransportHeaders:
      return &fields.headers;
    case kEntryBody:
    case kEntryHtmlBody:
      return &fields.body;
    default:
      return nullptr;
  }
}

}  // namespace

void scan_record_set(const RecordSetValues& set, MessageFields& fields, std::string* dump) {
  if (dump != nullptr) {
    *dump += kCrLf;
    *dump += "[record_set " + std::to_string(set.index) +
             "] entries=" + std::to_string(set.declared_entries) + kCrLf;
  }
  for (const RecordEntryValue& entry : set.entries) {
    collect_field(fields, entry.entry_type, entry.text);
    if (dump != nullptr) append_entry_line(*dump, entry);
  }
}

void scan_record_sets(const ItemRecordSets& sets, MessageFields& fields, std::string* dump) {
  if (!sets.counted) return;
  if (dump != nullptr) *dump += "record_sets=" + std::to_string(sets.declared_sets) + kCrLf;
  for (const RecordSetValues& set : sets.sets) scan_record_set(set, fields, dump);
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
  if (std::string* field = field_filled_once(fields, entry_type)) {
    if (field->empty()) *field = trim_whitespace(text);
    return;
  }
  if (entry_type != kEntryImportance && entry_type != kEntryDisplayCc &&
      entry_type != kEntryDisplayTo) {
    return;
  }
  const std::string t = trim_whitespace(text);
  if (t.empty()) return;
  if (entry_type == kEntryImportance) {
    if (const std::optional<uint32_t> value = parse_importance(t)) {
      fields.priority = priority_label(static_cast<int32_t>(*value));
    }
  } else {
    std::string& list = entry_type == kEntryDisplayCc ? fields.cc : fields.to;
    list = append_unique_item(std::move(list), normalize_recipient_list(t));
  }
}

}  // namespace quillmar
