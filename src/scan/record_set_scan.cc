#include "scan/record_set_scan.h"

#include <charconv>
#include <cstring>

#include "message/text_cleanup.h"
#include "properties/entry_types.h"
#include "scan/value_format.h"

namespace quillmar {
namespace {

constexpr char kCrLf[] = "\r\n";

// Writes value in lower-case hexadecimal of at least four digits at out;
// returns the end of what it wrote.
char* put_hex4(char* out, uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  if (value > 0xFFFF) {
    int digits = 5;
    while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
    for (int k = digits; k-- > 4;) *out++ = kDigits[(value >> (4 * k)) & 0xF];
  }
  out[0] = kDigits[(value >> 12) & 0xF];
  out[1] = kDigits[(value >> 8) & 0xF];
  out[2] = kDigits[(value >> 4) & 0xF];
  out[3] = kDigits[value & 0xF];
  return out + 4;
}

template <size_t N>
char* put_literal(char* out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + N - 1;
}

// The line is built in place and appended in one piece (or three, with a
// value): a message's dump has a few dozen of them.
void append_entry_line(std::string& out, const RecordEntryValue& entry) {
  char line[96];
  char* end = put_literal(line, "entry=0x");
  end = put_hex4(end, entry.entry_type);
  end = put_literal(end, " value_type=0x");
  end = put_hex4(end, entry.value_type);
  end = put_literal(end, " size=");
  end = std::to_chars(end, line + sizeof line, entry.size).ptr;
  if (!entry.text.empty()) {
    end = put_literal(end, " value=");
    out.append(line, static_cast<size_t>(end - line));
    out += entry.text;
    out += kCrLf;
    return;
  }
  end = put_literal(end, kCrLf);
  out.append(line, static_cast<size_t>(end - line));
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
