#include "folder_tables.h"

#include <iterator>

#include "node_builder.h"
#include "property_context.h"
#include "table_context.h"
#include "tags.h"

namespace pstgen {
namespace {

constexpr uint32_t kContentsColumns[] = {
    make_tag(kPropImportance, kPtLong),
    make_tag(kPropMessageClass, kPtUnicode),
    make_tag(kPropSubject, kPtUnicode),
    make_tag(kPropClientSubmitTime, kPtSysTime),
    make_tag(kPropSentRepresentingName, kPtUnicode),
    make_tag(kPropDisplayCc, kPtUnicode),
    make_tag(kPropDisplayTo, kPtUnicode),
    make_tag(kPropDeliveryTime, kPtSysTime),
    make_tag(kPropMessageFlags, kPtLong),
    make_tag(kPropMessageSize, kPtLong),
    make_tag(kPropHasAttachments, kPtBoolean),
    make_tag(kPropLastModificationTime, kPtSysTime),
};

}  // namespace

std::vector<uint32_t> hierarchy_columns() {
  return {make_tag(kPropDisplayName, kPtUnicode), make_tag(kPropContentCount, kPtLong),
          make_tag(kPropContentUnreadCount, kPtLong), make_tag(kPropSubfolders, kPtBoolean),
          make_tag(kPropContainerClass, kPtUnicode)};
}

std::vector<uint32_t> contents_columns() {
  return {std::begin(kContentsColumns), std::end(kContentsColumns)};
}

PropertyList contents_cells(const PropertyList& message) {
  PropertyList cells;
  for (uint32_t tag : kContentsColumns) {
    const Property* p = message.find(tag_id(tag));
    if (p != nullptr && p->tag == tag) cells.set_raw(p->tag, p->value);
  }
  return cells;
}

bool is_unread(const PropertyList& message) {
  const Property* flags = message.find(kPropMessageFlags);
  if (flags == nullptr || tag_type(flags->tag) != kPtLong) return true;
  return (static_cast<uint8_t>(flags->value[0]) & kMessageFlagRead) == 0;
}

PropertyList folder_properties(const PropertyList& declared, uint32_t content_count, uint32_t unread_count,
                               bool has_subfolders) {
  PropertyList props = declared;
  if (props.find(kPropContentCount) == nullptr) props.set_long(kPropContentCount, content_count);
  if (props.find(kPropContentUnreadCount) == nullptr) props.set_long(kPropContentUnreadCount, unread_count);
  if (props.find(kPropSubfolders) == nullptr) props.set_bool(kPropSubfolders, has_subfolders);
  return props;
}

NodeData make_table_node(const std::vector<uint32_t>& columns, const std::vector<uint32_t>& row_ids,
                         const std::vector<PropertyList>& rows) {
  std::vector<TableRow> table_rows;
  for (size_t i = 0; i < rows.size(); ++i) table_rows.push_back({row_ids.at(i), &rows[i]});
  NodeBuilder node(HeapClient::kTableContext);
  build_table_context(columns, table_rows, node);
  return std::move(node).finish();
}

NodeData make_property_node(const PropertyList& props) {
  NodeBuilder node(HeapClient::kPropertyContext);
  build_property_context(props, node);
  return std::move(node).finish();
}

}  // namespace pstgen
