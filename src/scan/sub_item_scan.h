// Walk over a message's sub-items (its recipients), adding one address per
// sub-item to the To or Cc list.
#ifndef QUILLMAR_SCAN_SUB_ITEM_SCAN_H_
#define QUILLMAR_SCAN_SUB_ITEM_SCAN_H_

#include <ostream>

#include <libpff.h>

#include "fields/message_fields.h"

namespace quillmar {

// For each sub-item, the address is the first non-empty of: the sender that
// the record-set rules find among its own records; its SMTP address
// (0x39FE); its e-mail address (0x3003); its display name (0x3001). A
// non-empty address is appended (unless contained) to cc when the recipient
// type (0x0C15, 0 when absent) is 2, to to otherwise. With out, writes an
// empty line, "sub_items=N" and one "sub_item i recipient_type=T addr=A"
// line per sub-item obtained. If the count cannot be read nothing happens.
void scan_sub_items(libpff_item_t* item, MessageFields& fields, std::ostream* out);

}  // namespace quillmar

#endif  // QUILLMAR_SCAN_SUB_ITEM_SCAN_H_
