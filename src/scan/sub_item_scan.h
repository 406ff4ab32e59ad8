// Walk over a message's recipients, adding one address per recipient to the
// To or Cc list.
#ifndef QUILLMAR_SCAN_SUB_ITEM_SCAN_H_
#define QUILLMAR_SCAN_SUB_ITEM_SCAN_H_

#include <libpff.h>

#include <string>

#include "fields/message_fields.h"

namespace quillmar {

// The recipients are the record sets of the item libpff gives for the
// message's recipients, recipient i being record set i. For each, the
// address is the first non-empty of: the sender that the record-set rules
// find among its own records; its SMTP address (0x39FE); its e-mail address
// (0x3003); its display name (0x3001). A non-empty address is appended
// (unless contained) to cc when the recipient type (0x0C15, 0 when absent) is
// 2, to to otherwise. With dump, appends an empty line, "sub_items=N" (0 for a
// message without recipients) and one "sub_item i recipient_type=T addr=A"
// line per recipient. If libpff cannot give the recipients or their number,
// nothing happens.
void scan_sub_items(libpff_item_t* message, MessageFields& fields, std::string* dump);

}  // namespace quillmar

#endif  // QUILLMAR_SCAN_SUB_ITEM_SCAN_H_
