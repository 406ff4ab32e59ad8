#include "scan/sub_item_scan.h"

#include <charconv>
#include <string>

#include "properties/entry_types.h"
#include "properties/libpff_handles.h"
#include "properties/property_reader.h"
#include "scan/record_set_scan.h"

namespace quillmar {
namespace {

constexpr char kCrLf[] = "\r\n";

// The address of a recipient, in the order of precedence documented above.
std::string recipient_address(const RecordSetValues& recipient) {
  MessageFields own;
  scan_record_set(recipient, own);
  if (!own.sender.empty()) return own.sender;
  for (uint32_t entry_type : {kEntrySmtpAddress, kEntryEmailAddress, kEntryDisplayName}) {
    const std::string_view address = string_entry_view(recipient, entry_type);
    if (!address.empty()) return std::string(address);
  }
  return std::string();
}

void scan_recipient(libpff_item_t* recipients, int index, MessageFields& fields,
                    std::string* dump) {
  const std::optional<RecordSetValues> recipient = read_record_set(recipients, index);
  const RecordSetValues none;
  const std::string address = recipient_address(recipient ? *recipient : none);
  const uint32_t type = u32_entry(recipient ? *recipient : none, kEntryRecipientType, 0);
  if (!address.empty()) {
    std::string& list = type == kRecipientTypeCc ? fields.cc : fields.to;
    list = append_unique_item(std::move(list), address);
  }
  if (dump != nullptr) {
    char number[16];
    *dump += "sub_item ";
    dump->append(number, static_cast<size_t>(
                             std::to_chars(number, number + sizeof number, index).ptr - number));
    *dump += " recipient_type=";
    dump->append(number, static_cast<size_t>(
                             std::to_chars(number, number + sizeof number, type).ptr - number));
    *dump += " addr=";
    *dump += address;
    *dump += kCrLf;
  }
}

// Sets count to the number of recipients of message, and recipients to
// their item when there are any; false when libpff cannot tell.
bool open_recipients(libpff_item_t* message, ItemHandle& recipients, int* count) {
  libpff_error_t* error = nullptr;
  *count = 0;
  const int result = libpff_message_get_recipients(message, recipients.out(), &error);
  if (result == 1 && recipients &&
      libpff_item_get_number_of_record_sets(recipients.get(), count, &error) == 1) {
    return true;
  }
  discard_error(&error);
  return result == 0;
}

}  // namespace

void scan_sub_items(libpff_item_t* message, MessageFields& fields, std::string* dump) {
  ItemHandle recipients;
  int count = 0;
  if (!open_recipients(message, recipients, &count)) return;
  if (dump != nullptr) *dump += kCrLf + std::string("sub_items=") + std::to_string(count) + kCrLf;
  for (int i = 0; i < count; ++i) scan_recipient(recipients.get(), i, fields, dump);
}

}  // namespace quillmar
