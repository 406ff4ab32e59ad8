#include "scan/sub_item_scan.h"

#include <string>

#include "properties/entry_types.h"
#include "properties/libpff_handles.h"
#include "properties/property_reader.h"
#include "scan/record_set_scan.h"

namespace quillmar {
namespace {

constexpr char kCrLf[] = "\r\n";

// The address of one recipient, in the order of precedence documented above.
std::string recipient_address(libpff_item_t* sub_item) {
  MessageFields own;
  scan_record_sets(sub_item, own, nullptr);
  if (!own.sender.empty()) return own.sender;
  for (uint32_t entry_type : {kEntrySmtpAddress, kEntryEmailAddress, kEntryDisplayName}) {
    std::string address = read_utf8_property(sub_item, entry_type);
    if (!address.empty()) return address;
  }
  return std::string();
}

void scan_sub_item(libpff_item_t* sub_item, int index, MessageFields& fields,
                   std::ostream* out) {
  const std::string address = recipient_address(sub_item);
  const uint32_t type = read_u32_property(sub_item, kEntryRecipientType, 0);
  if (!address.empty()) {
    std::string& list = type == kRecipientTypeCc ? fields.cc : fields.to;
    list = append_unique_item(std::move(list), address);
  }
  if (out != nullptr) {
    *out << "sub_item " << std::to_string(index) << " recipient_type="
         << std::to_string(type) << " addr=" << address << kCrLf;
  }
}

}  // namespace

void scan_sub_items(libpff_item_t* item, MessageFields& fields, std::ostream* out) {
  libpff_error_t* error = nullptr;
  int count = 0;
  if (libpff_item_get_number_of_sub_items(item, &count, &error) != 1) {
    discard_error(&error);
    return;
  }
  if (out != nullptr) *out << kCrLf << "sub_items=" << std::to_string(count) << kCrLf;
  for (int i = 0; i < count; ++i) {
    ItemHandle sub_item;
    if (!obtained(libpff_item_get_sub_item(item, i, sub_item.out(), &error), sub_item)) {
      discard_error(&error);
      continue;
    }
    scan_sub_item(sub_item.get(), i, fields, out);
  }
}

}  // namespace quillmar
