// A message as the builder holds it: its own properties, its recipient rows
// and its attachments, each a PropertyList written exactly as given.
#ifndef PSTGEN_MESSAGE_H_
#define PSTGEN_MESSAGE_H_

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "property_list.h"

namespace pstgen {

enum class RecipientType : uint32_t { kTo = 1, kCc = 2, kBcc = 3 };

// The usual columns of a recipient row. Empty texts are left out of the row.
struct RecipientInfo {
  RecipientType type = RecipientType::kTo;  // 0x0C15
  std::string display_name;                 // 0x3001
  std::string email;                        // 0x3003
  std::string smtp;                         // 0x39FE
  std::string address_type = "SMTP";        // 0x3002
};

// An attachment by value. Empty names are left out.
struct AttachmentFile {
  std::string long_name;   // 0x3707
  std::string short_name;  // 0x3704
  std::string data;        // 0x3701, any size; 0x0E20 is set to its size
};

// The properties a RecipientInfo stands for.
PropertyList recipient_properties(const RecipientInfo& recipient);
// The properties an AttachmentFile stands for: 0x3705 = 1, 0x3701, 0x0E20,
// 0x370B = 0xFFFFFFFF and the non-empty names.
PropertyList attachment_properties(const AttachmentFile& file);

class Message {
 public:
  explicit Message(uint32_t nid = 0) : nid_(nid) {}

  // The message's NID, which libpff reports as the item's identifier; 0 for
  // a message not made by Folder::add_message.
  uint32_t nid() const { return nid_; }

  // The message's own properties, written exactly as they are here: nothing
  // is added on writing (not even the message class).
  PropertyList& props() { return props_; }
  const PropertyList& props() const { return props_; }

  // Shortcuts to props().
  Message& set_unicode(uint16_t id, std::string_view utf8) { return props_.set_unicode(id, utf8), *this; }
  Message& set_string8(uint16_t id, std::string_view bytes) { return props_.set_string8(id, bytes), *this; }
  Message& set_binary(uint16_t id, std::string_view bytes) { return props_.set_binary(id, bytes), *this; }
  Message& set_short(uint16_t id, uint16_t v) { return props_.set_short(id, v), *this; }
  Message& set_long(uint16_t id, uint32_t v) { return props_.set_long(id, v), *this; }
  Message& set_bool(uint16_t id, bool v) { return props_.set_bool(id, v), *this; }
  Message& set_longlong(uint16_t id, uint64_t v) { return props_.set_longlong(id, v), *this; }
  Message& set_filetime(uint16_t id, uint64_t ticks) { return props_.set_filetime(id, ticks), *this; }

  // Appends a recipient row; the returned list (stable until the message is
  // destroyed) may be edited further.
  PropertyList& add_recipient(const RecipientInfo& recipient) { return add_recipient_row(recipient_properties(recipient)); }
  PropertyList& add_recipient_row(PropertyList row);
  // Appends an attachment; the returned list may be edited further.
  PropertyList& add_attachment(const AttachmentFile& file) { return add_attachment_object(attachment_properties(file)); }
  PropertyList& add_attachment_object(PropertyList props);

  const std::deque<PropertyList>& recipients() const { return recipients_; }
  const std::deque<PropertyList>& attachments() const { return attachments_; }

 private:
  uint32_t nid_;
  PropertyList props_;
  std::deque<PropertyList> recipients_;
  std::deque<PropertyList> attachments_;
};

}  // namespace pstgen

#endif  // PSTGEN_MESSAGE_H_
