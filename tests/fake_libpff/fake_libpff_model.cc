// The archive model of the fake libpff and the byte conversions it answers
// UTF-8 reads with.
#include <cstring>
#include <utility>

#include "fake_libpff/fake_libpff.h"
#include "fake_libpff/fake_libpff_internal.h"

namespace fakepff {
namespace {

std::string little_endian(uint64_t value, size_t bytes) {
  std::string out(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) {
    out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return out;
}

void append_utf8(std::string& out, uint32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

void append_utf16le(std::string& out, uint32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

// Windows-1252 code points of the bytes 0x80..0x9F (0 where undefined).
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

const char* function_name(Call call) {
  static constexpr const char* kNames[] = {
      "libpff_get_version",
      "libpff_get_access_flags_read",
      "libpff_file_initialize",
      "libpff_file_open",
      "libpff_file_open_wide",
      "libpff_file_close",
      "libpff_file_free",
      "libpff_file_get_root_folder",
      "libpff_file_get_message_store",
      "libpff_file_get_item_by_identifier",
      "libpff_folder_get_number_of_sub_messages",
      "libpff_folder_get_sub_message",
      "libpff_folder_get_number_of_sub_folders",
      "libpff_folder_get_sub_folder",
      "libpff_item_get_entry_value_utf8_string_size",
      "libpff_item_get_entry_value_utf8_string",
      "libpff_item_get_entry_value_32bit",
      "libpff_item_get_number_of_record_sets",
      "libpff_item_get_record_set_by_index",
      "libpff_item_get_number_of_sub_items",
      "libpff_item_get_sub_item",
      "libpff_item_get_identifier",
      "libpff_item_free",
      "libpff_record_set_get_number_of_entries",
      "libpff_record_set_get_entry_by_index",
      "libpff_record_set_free",
      "libpff_record_entry_get_entry_type",
      "libpff_record_entry_get_value_type",
      "libpff_record_entry_get_data_size",
      "libpff_record_entry_get_data",
      "libpff_record_entry_free",
      "libpff_message_get_plain_text_body_size",
      "libpff_message_get_plain_text_body",
      "libpff_message_get_html_body_size",
      "libpff_message_get_html_body",
      "libpff_message_get_number_of_attachments",
      "libpff_message_get_attachment",
      "libpff_attachment_get_data_size",
      "libpff_attachment_data_seek_offset",
      "libpff_attachment_data_read_buffer",
      "libpff_error_fprint",
      "libpff_error_free",
  };
  static_assert(sizeof(kNames) / sizeof(kNames[0]) ==
                static_cast<size_t>(Call::kErrorFree) + 1);
  return kNames[static_cast<size_t>(call)];
}

void FailureRules::add(Call call, int64_t at, Failure how) {
  rules_.push_back({call, at, how});
}

std::optional<Failure> FailureRules::match(Call call, int64_t at) const {
  for (const Rule& rule : rules_) {
    if (rule.call == call && (rule.at == kAnyCall || rule.at == at)) return rule.how;
  }
  return std::nullopt;
}

Entry& RecordSet::add(uint32_t entry_type, uint32_t value_type, std::string data) {
  entries_.push_back(std::make_unique<Entry>(entry_type, value_type, std::move(data)));
  return *entries_.back();
}

Entry& RecordSet::set(uint32_t entry_type, uint32_t value_type, std::string data) {
  Entry* existing = find(entry_type);
  if (existing == nullptr) return add(entry_type, value_type, std::move(data));
  existing->value_type = value_type;
  existing->data = std::move(data);
  return *existing;
}

Entry* RecordSet::find(uint32_t entry_type) const {
  for (const auto& entry : entries_) {
    if (entry->entry_type == entry_type) return entry.get();
  }
  return nullptr;
}

Node::Node(Kind kind, std::string label, uint32_t* next_identifier)
    : kind_(kind),
      label_(std::move(label)),
      next_identifier_(next_identifier),
      identifier_(next_identifier == nullptr ? 0 : (*next_identifier)++) {}

Node& Node::add_child(std::vector<std::unique_ptr<Node>>& list, Kind kind,
                      const char* what, std::string label) {
  if (label.empty()) label = label_ + "/" + what + " " + std::to_string(list.size());
  list.push_back(std::make_unique<Node>(kind, std::move(label), next_identifier_));
  return *list.back();
}

Node& Node::add_folder(std::string label) {
  return add_child(folders_, Kind::kFolder, "folder", std::move(label));
}

Node& Node::add_message(std::string label) {
  return add_child(messages_, Kind::kMessage, "message", std::move(label));
}

Node& Node::add_sub_item(std::string label) {
  return add_child(sub_items_, Kind::kSubItem, "sub-item", std::move(label));
}

Node& Node::add_attachment(std::string data, std::string label) {
  Node& attachment = add_child(attachments_, Kind::kAttachment, "attachment", std::move(label));
  attachment.data_ = std::move(data);
  return attachment;
}

Node& Node::set_identifier(uint32_t id) {
  identifier_ = id;
  return *this;
}

Node& Node::set_unicode(uint32_t entry_type, std::string_view utf8) {
  record_set(0).set(entry_type, kValueUnicode, internal::utf8_to_utf16le(utf8));
  return *this;
}

Node& Node::set_string8(uint32_t entry_type, std::string_view bytes) {
  record_set(0).set(entry_type, kValueString8, std::string(bytes));
  return *this;
}

Node& Node::set_u16(uint32_t entry_type, uint16_t value) {
  record_set(0).set(entry_type, kValueInt16, little_endian(value, 2));
  return *this;
}

Node& Node::set_u32(uint32_t entry_type, uint32_t value) {
  record_set(0).set(entry_type, kValueInt32, little_endian(value, 4));
  return *this;
}

Node& Node::set_bool(uint32_t entry_type, bool value) {
  record_set(0).set(entry_type, kValueBoolean, little_endian(value ? 1 : 0, 1));
  return *this;
}

Node& Node::set_filetime(uint32_t entry_type, uint64_t ticks) {
  record_set(0).set(entry_type, kValueFiletime, little_endian(ticks, 8));
  return *this;
}

Node& Node::set_binary(uint32_t entry_type, std::string_view bytes) {
  record_set(0).set(entry_type, kValueBinary, std::string(bytes));
  return *this;
}

Entry& Node::add_entry(int record_set_index, uint32_t entry_type, uint32_t value_type,
                       std::string data) {
  return record_set(record_set_index).add(entry_type, value_type, std::move(data));
}

RecordSet& Node::record_set(int index) {
  while (static_cast<int>(record_sets_.size()) <= index) {
    record_sets_.push_back(std::make_unique<RecordSet>());
  }
  return *record_sets_.at(static_cast<size_t>(index));
}

Node& Node::set_plain_text_body(std::string bytes) {
  plain_text_body_ = std::move(bytes);
  return *this;
}

Node& Node::set_html_body(std::string bytes) {
  html_body_ = std::move(bytes);
  return *this;
}

Node& Node::set_data(std::string bytes) {
  data_ = std::move(bytes);
  return *this;
}

Node& Node::report(Call call, int64_t value) {
  reported_[call] = value;
  return *this;
}

std::optional<int64_t> Node::reported(Call call) const {
  auto it = reported_.find(call);
  if (it == reported_.end()) return std::nullopt;
  return it->second;
}

Entry* Node::find_entry(uint32_t entry_type, int record_set_index) const {
  if (record_set_index < 0 || record_set_index >= static_cast<int>(record_sets_.size())) {
    return nullptr;
  }
  return record_sets_[static_cast<size_t>(record_set_index)]->find(entry_type);
}

Node* Node::find_by_identifier(uint32_t id) {
  if (identifier_ == id) return this;
  for (auto* list : {&folders_, &messages_, &sub_items_, &attachments_}) {
    for (auto& child : *list) {
      if (Node* found = child->find_by_identifier(id)) return found;
    }
  }
  return nullptr;
}

Archive::Archive()
    : root_(Kind::kFolder, "root", &next_identifier_),
      message_store_(Kind::kMessageStore, "message store", &next_identifier_) {}

Node* Archive::find_by_identifier(uint32_t id) {
  if (Node* found = root_.find_by_identifier(id)) return found;
  return message_store_.find_by_identifier(id);
}

namespace internal {

std::optional<std::string> utf16le_to_utf8(std::string_view bytes) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    uint32_t unit = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      uint32_t low = static_cast<uint8_t>(bytes[i + 2]) | (static_cast<uint8_t>(bytes[i + 3]) << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    append_utf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
  }
  return out;
}

std::string cp1252_to_utf8(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    uint8_t byte = static_cast<uint8_t>(c);
    if (byte == 0) break;
    uint32_t code_point = byte;
    if (byte >= 0x80 && byte < 0xA0) {
      code_point = kCp1252High[byte - 0x80] != 0 ? kCp1252High[byte - 0x80] : 0xFFFD;
    }
    append_utf8(out, code_point);
  }
  return out;
}

std::string utf8_to_utf16le(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    uint8_t lead = static_cast<uint8_t>(utf8[i]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      code_point = (code_point << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
    }
    i += length;
    if (code_point >= 0x10000) {
      code_point -= 0x10000;
      append_utf16le(out, 0xD800 + (code_point >> 10));
      append_utf16le(out, 0xDC00 + (code_point & 0x3FF));
    } else {
      append_utf16le(out, code_point);
    }
  }
  return out;
}

std::string wide_to_utf8(const wchar_t* text) {
  std::string out;
  for (; *text != L'\0'; ++text) append_utf8(out, static_cast<uint32_t>(*text));
  return out;
}

}  // namespace internal
}  // namespace fakepff
