#include "message.h"

#include "tags.h"

namespace pstgen {
namespace {

constexpr uint32_t kRenderingHidden = 0xFFFFFFFF;

void set_text_if_any(PropertyList& props, uint16_t id, const std::string& text) {
  if (!text.empty()) props.set_unicode(id, text);
}

}  // namespace

PropertyList recipient_properties(const RecipientInfo& recipient) {
  PropertyList props;
  props.set_long(kPropRecipientType, static_cast<uint32_t>(recipient.type));
  set_text_if_any(props, kPropDisplayName, recipient.display_name);
  set_text_if_any(props, kPropEmailAddress, recipient.email);
  set_text_if_any(props, kPropSmtpAddress, recipient.smtp);
  set_text_if_any(props, kPropAddressType, recipient.address_type);
  return props;
}

PropertyList attachment_properties(const AttachmentFile& file) {
  PropertyList props;
  props.set_long(kPropAttachMethod, kAttachByValue);
  props.set_binary(kPropAttachData, file.data);
  props.set_long(kPropAttachSize, static_cast<uint32_t>(file.data.size()));
  props.set_long(kPropRenderingPosition, kRenderingHidden);
  set_text_if_any(props, kPropAttachLongFilename, file.long_name);
  set_text_if_any(props, kPropAttachFilename, file.short_name);
  return props;
}

PropertyList& Message::add_recipient_row(PropertyList row) {
  recipients_.push_back(std::move(row));
  return recipients_.back();
}

PropertyList& Message::add_attachment_object(PropertyList props) {
  attachments_.push_back(std::move(props));
  return attachments_.back();
}

}  // namespace pstgen
