#include "fields/field_resolution.h"


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
// Room for the dump of a usual message, so that building it copies nothing.
constexpr size_t kDumpBytesReserved = 16384;

std::string first_sender_property(const RecordSetValues& own) {
  for (uint32_t entry_type : {kEntrySenderEmail, kEntrySentRepresentingEmail,
                              kEntrySenderName, kEntrySentRepresentingName}) {
    const std::string_view sender = string_entry_view(own, entry_type);
    if (!sender.empty()) return std::string(sender);
  }
  return std::string();
}

// own: the message's record set 0, or null when libpff cannot give it.
void read_direct_properties(libpff_item_t* message, const RecordSetValues* own,
                            MessageFields& fields) {
  fields.body = read_plain_text_body(message, own);
  if (own == nullptr) return;
  fields.sender = first_sender_property(*own);
  fields.to = normalize_recipient_list(string_entry_or_empty(*own, kEntryDisplayTo));
  fields.cc = normalize_recipient_list(string_entry_or_empty(*own, kEntryDisplayCc));
  fields.subject = string_entry_or_empty(*own, kEntrySubject);
  fields.headers = string_entry_or_empty(*own, kEntryTransportHeaders);
  fields.priority =
      priority_label(static_cast<int32_t>(u32_entry(*own, kEntryImportance, kNormalImportance)));
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

void append_line(std::string& dump, const char* label, const std::string& value) {
  dump += label;
  dump += value;
  dump += kCrLf;
}

void append_final_section(std::string& dump, const MessageFields& fields) {
  dump += kCrLf;
  append_line(dump, "[final]", std::string());
  append_line(dump, "who=", fields.who);
  append_line(dump, "sender=", fields.sender);
  append_line(dump, "to=", fields.to);
  append_line(dump, "cc=", fields.cc);
  append_line(dump, "priority=", fields.priority);
  append_line(dump, "subject=", fields.subject);
  append_line(dump, "date=", fields.date);
  append_line(dump, "headers_size=", std::to_string(fields.headers.size()));
}

}  // namespace

MessageFields resolve_message_fields(libpff_item_t* message,
                                     const std::string& archive_name,
                                     std::string* dump) {
  MessageFields fields;
  fields.who = archive_name;
  const ItemRecordSets sets = read_record_sets(message);
  const RecordSetValues* own =
      !sets.sets.empty() && sets.sets.front().index == 0 ? &sets.sets.front() : nullptr;
  read_direct_properties(message, own, fields);
  if (dump != nullptr) {
    *dump += "archive=";
    *dump += archive_name;
    *dump += kCrLf;
  }
  scan_record_sets(sets, fields, dump);
  scan_sub_items(message, fields, dump);
  fill_from_headers(fields);
  if (dump != nullptr) append_final_section(*dump, fields);
  fields.subject = clean_subject(std::move(fields.subject));
  return fields;
}

MessageFields dump_debug_fields(libpff_item_t* message,
                                const std::string& archive_name,
                                const OutputDirectory& message_dir, Console& console,
                                std::string& dump) {
  dump.clear();
  dump.reserve(kDumpBytesReserved);
  MessageFields fields = resolve_message_fields(message, archive_name, &dump);
  if (const int error = write_new_file(message_dir, kDebugFieldsFileName, dump)) {
    report_write_failure(console, message_dir.path() / kDebugFieldsFileName, error);
  }
  return fields;
}

}  // namespace quillmar
