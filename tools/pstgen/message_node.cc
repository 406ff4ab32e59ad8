#include "message_node.h"

#include <algorithm>
#include <deque>

#include "nid.h"
#include "node_builder.h"
#include "property_context.h"
#include "table_context.h"
#include "tags.h"

namespace pstgen {
namespace {

// Columns of the attachment table that are copied from the attachment
// objects (the mail client's table template holds the same ones).
constexpr uint16_t kAttachmentTableIds[] = {kPropAttachSize, kPropAttachFilename, kPropAttachMethod,
                                           kPropAttachLongFilename, kPropRenderingPosition};

std::vector<uint32_t> default_recipient_columns() {
  return {make_tag(kPropRecipientType, kPtLong), make_tag(kPropDisplayName, kPtUnicode),
          make_tag(kPropAddressType, kPtUnicode), make_tag(kPropEmailAddress, kPtUnicode),
          make_tag(kPropSmtpAddress, kPtUnicode)};
}

std::vector<uint32_t> used_tags(const std::deque<PropertyList>& rows) {
  std::vector<uint32_t> tags;
  for (const PropertyList& row : rows) {
    for (const Property& p : row.items()) tags.push_back(p.tag);
  }
  std::sort(tags.begin(), tags.end());
  tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
  return tags;
}

Subnode recipient_table(const Message& message) {
  std::vector<TableRow> rows;
  uint32_t row_id = 1;
  for (const PropertyList& r : message.recipients()) rows.push_back({row_id++, &r});
  const std::vector<uint32_t> columns =
      rows.empty() ? default_recipient_columns() : used_tags(message.recipients());
  NodeBuilder table(HeapClient::kTableContext);
  build_table_context(columns, rows, table);
  return {kNidRecipientTable, std::move(table).finish()};
}

// The attachment table's view of each attachment object.
std::deque<PropertyList> attachment_rows(const Message& message) {
  std::deque<PropertyList> rows;
  for (const PropertyList& a : message.attachments()) {
    PropertyList row;
    for (uint16_t id : kAttachmentTableIds) {
      if (const Property* p = a.find(id)) row.set_raw(p->tag, p->value);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

uint32_t attachment_nid(size_t index) {
  return make_nid(NidType::kAttachment, kFirstSubnodeIndex + static_cast<uint32_t>(index));
}

void add_attachments(const Message& message, NodeBuilder& node) {
  if (message.attachments().empty()) return;
  const std::deque<PropertyList> cells = attachment_rows(message);
  std::vector<TableRow> rows;
  for (size_t i = 0; i < message.attachments().size(); ++i) {
    NodeBuilder object(HeapClient::kPropertyContext);
    build_property_context(message.attachments()[i], object);
    node.add_subnode({attachment_nid(i), std::move(object).finish()});
    rows.push_back({attachment_nid(i), &cells[i]});
  }
  NodeBuilder table(HeapClient::kTableContext);
  build_table_context(used_tags(cells), rows, table);
  node.add_subnode({kNidAttachmentTable, std::move(table).finish()});
}

}  // namespace

NodeData build_message_node(const Message& message) {
  NodeBuilder node(HeapClient::kPropertyContext);
  build_property_context(message.props(), node);
  node.add_subnode(recipient_table(message));
  add_attachments(message, node);
  return std::move(node).finish();
}

}  // namespace pstgen
