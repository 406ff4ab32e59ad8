// A message's node: its property context, with the recipient table, the
// attachment table and one attachment object per attachment as subnodes.
#ifndef PSTGEN_MESSAGE_NODE_H_
#define PSTGEN_MESSAGE_NODE_H_

#include "message.h"
#include "node_data.h"

namespace pstgen {

// The node of `message`. The recipient table (subnode 0x692) is always
// present, empty when there are no recipients; the attachment table
// (0x671) only when there are attachments. Attachment objects get subnode
// NIDs 0x8005, 0x8025, ... in order, which are also their table row ids.
// Table columns are the tags the rows use (a row lacking one leaves that
// cell absent); an empty recipient table gets the usual recipient columns.
NodeData build_message_node(const Message& message);

}  // namespace pstgen

#endif  // PSTGEN_MESSAGE_NODE_H_
