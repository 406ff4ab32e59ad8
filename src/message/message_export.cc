#include "message/message_export.h"

#include <cstdio>
#include <iostream>

#include "attachments/attachment_export.h"
#include "fields/field_resolution.h"
#include "fields/transport_headers.h"
#include "message/address_extraction.h"
#include "message/output_files.h"
#include "message/text_cleanup.h"

namespace quillmar {
namespace {

constexpr char kCrLf[] = "\r\n";

void append_record(std::string& text, const char* label, const std::string& value) {
  text += label;
  text += value;
  text += kCrLf;
}

void replace_if_found(std::string& field, std::string addresses) {
  if (!addresses.empty()) field = std::move(addresses);
}

void remove_directory_tree(const std::filesystem::path& directory) {
  std::error_code error;
  std::filesystem::remove_all(directory, error);
  if (error) throw std::filesystem::filesystem_error("remove_all", directory, error);
}

// mail.ok is an empty marker written last: present, it says the message's
// export finished. Its failure is not reported.
void write_marker(const std::filesystem::path& directory) {
  write_whole_file(directory / kMailOkFileName, std::string_view());
}

}  // namespace

std::string message_directory_name(const std::string& archive_name, int32_t number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08d", static_cast<int>(number));
  return archive_name + "_" + digits;
}

std::string format_mail_text(const MessageFields& fields) {
  std::string text;
  text.reserve(fields.body.size() + fields.to.size() + fields.cc.size() + 256);
  append_record(text, kLabelWho, fields.who);
  append_record(text, kLabelSender, fields.sender);
  append_record(text, kLabelTo, fields.to);
  append_record(text, kLabelCc, fields.cc);
  append_record(text, kLabelPriority, fields.priority);
  append_record(text, kLabelSubject, clean_subject(fields.subject));
  append_record(text, kLabelDate, fields.date);
  append_record(text, kLabelBody, fields.body);
  return text;
}

void correct_from_headers(MessageFields& fields) {
  if (fields.headers.empty()) return;
  replace_if_found(fields.sender,
                   extract_first_email_address(find_transport_header(fields.headers, "From")));
  replace_if_found(fields.to,
                   extract_email_addresses(find_transport_header(fields.headers, "To")));
  replace_if_found(fields.cc,
                   extract_email_addresses(find_transport_header(fields.headers, "Cc")));
}

bool is_empty_message(const MessageFields& fields) {
  return fields.subject == kDefaultSubject && fields.body.empty() &&
         fields.sender.empty() && fields.to.empty();
}

bool export_message(libpff_item_t* message, MailExportContext& context) {
  const int32_t number = context.mail_number;
  const std::filesystem::path directory =
      context.output_root / message_directory_name(context.archive_name, number);
  create_directory_tree(directory);

  MessageFields fields = dump_debug_fields(message, context.archive_name, directory);
  correct_from_headers(fields);
  if (is_empty_message(fields)) {
    remove_directory_tree(directory);
    return false;
  }

  // A mail.txt that cannot be written in full (a full disk included) is a
  // failed export, not a success: the number stays for the next message.
  if (!write_whole_file(directory / kMailTextFileName, format_mail_text(fields))) {
    std::cerr << "Impossible d'ecrire mail.txt: " << directory.string() << "\n";
    return false;
  }
  if (!fields.headers.empty()) write_whole_file(directory / kHeadersFileName, fields.headers);
  export_attachments(message, directory);
  write_marker(directory);

  std::cout << "MAIL " << std::to_string(number) << " OK -> " << directory.string() << "\n";
  ++context.mail_number;
  return true;
}

}  // namespace quillmar
