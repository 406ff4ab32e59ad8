#include "fields/field_resolution.h"

#include <sstream>

#include "fields/transport_headers.h"
#include "message/output_files.h"
#include "message/text_cleanup.h"
#include "properties/entry_types.h"
#include "properties/property_reader.h"
#include "scan/record_set_scan.h"
#include "scan/sub_item_scan.h"
#include "scan/value_format.h"

namespace quillmar {
namespace {

constexpr char kCrLf[] = "\r\n";
constexpr uint32_t kNormalImportance = 1;

std::string first_sender_property(libpff_item_t* message) {
  for (uint32_t entry_type : {kEntrySenderEmail, kEntrySentRepresentingEmail,
                              kEntrySenderName, kEntrySentRepresentingName}) {
    std::string sender = read_utf8_property(message, entry_type);
    if (!sender.empty()) return sender;
  }
  return std::string();
}

void read_direct_properties(libpff_item_t* message, MessageFields& fields) {
  fields.sender = first_sender_property(message);
  fields.to = normalize_recipient_list(read_utf8_property(message, kEntryDisplayTo));
  fields.cc = normalize_recipient_list(read_utf8_property(message, kEntryDisplayCc));
  fields.subject = read_utf8_property(message, kEntrySubject);
  fields.body = read_plain_text_body(message);
  fields.headers = read_utf8_property(message, kEntryTransportHeaders);
  fields.priority = priority_label(static_cast<int32_t>(
      read_u32_property(message, kEntryImportance, kNormalImportance)));
}

// Fills fields still empty from the transport headers, each test made just
// before its own step.
void fill_from_headers(MessageFields& fields) {
  if (fields.headers.empty()) return;
  if (fields.sender.empty()) fields.sender = find_transport_header(fields.headers, "From");
  if (fields.to.empty()) {
    fields.to = normalize_recipient_list(find_transport_header(fields.headers, "To"));
  }
  if (fields.cc.empty()) {
    fields.cc = normalize_recipient_list(find_transport_header(fields.headers, "Cc"));
  }
  if (fields.subject.empty()) fields.subject = find_transport_header(fields.headers, "Subject");
  if (fields.date.empty()) fields.date = find_transport_header(fields.headers, "Date");
}

void write_final_section(std::ostream& dump, const MessageFields& fields) {
  dump << kCrLf << "[final]" << kCrLf
       << "who=" << fields.who << kCrLf
       << "sender=" << fields.sender << kCrLf
       << "to=" << fields.to << kCrLf
       << "cc=" << fields.cc << kCrLf
       << "priority=" << fields.priority << kCrLf
       << "subject=" << fields.subject << kCrLf
       << "date=" << fields.date << kCrLf
       << "headers_size=" << std::to_string(fields.headers.size()) << kCrLf;
}

}  // namespace

MessageFields resolve_message_fields(libpff_item_t* message,
                                     const std::string& archive_name,
                                     std::ostream& dump) {
  MessageFields fields;
  fields.who = archive_name;
  read_direct_properties(message, fields);
  dump << "archive=" << archive_name << kCrLf;
  scan_record_sets(message, fields, &dump);
  scan_sub_items(message, fields, &dump);
  fill_from_headers(fields);
  write_final_section(dump, fields);
  fields.subject = clean_subject(std::move(fields.subject));
  return fields;
}

MessageFields dump_debug_fields(libpff_item_t* message,
                                const std::string& archive_name,
                                const std::filesystem::path& message_dir) {
  std::ostringstream dump(std::ios::binary);
  MessageFields fields = resolve_message_fields(message, archive_name, dump);
  const std::filesystem::path path = message_dir / kDebugFieldsFileName;
  if (const int error = write_new_file(path, dump.str())) report_write_failure(path, error);
  return fields;
}

}  // namespace quillmar
