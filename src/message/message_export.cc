#include "message/message_export.h"


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

// Writes a file whose loss does not fail the message; a failure is reported.
void write_or_report(const OutputDirectory& directory, const std::string& name,
                     std::string_view bytes, Console& console) {
  if (const int error = write_new_file(directory, name, bytes)) {
    report_write_failure(console, directory.path() / std::filesystem::u8path(name), error);
  }
}

}  // namespace

std::string message_directory_name(const std::string& archive_name, int32_t number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 8) digits.insert(0, 8 - digits.size(), '0');
  return archive_name + "_" + digits;
}

std::string format_mail_text(const MessageFields& fields) {
  std::string text;
  format_mail_text(fields, text);
  return text;
}

void format_mail_text(const MessageFields& fields, std::string& text) {
  text.clear();
  text.reserve(fields.body.size() + fields.to.size() + fields.cc.size() + 256);
  append_record(text, kLabelWho, fields.who);
  append_record(text, kLabelSender, fields.sender);
  append_record(text, kLabelTo, fields.to);
  append_record(text, kLabelCc, fields.cc);
  append_record(text, kLabelPriority, fields.priority);
  append_record(text, kLabelSubject, clean_subject(fields.subject));
  append_record(text, kLabelDate, fields.date);
  append_record(text, kLabelBody, fields.body);
}

void correct_from_headers(MessageFields& fields) {
  if (fields.headers.empty()) return;
  const auto [from, to, cc] = find_transport_headers<3>(fields.headers, {"From", "To", "Cc"});
  replace_if_found(fields.sender, extract_first_email_address(from));
  replace_if_found(fields.to, extract_email_addresses(to));
  replace_if_found(fields.cc, extract_email_addresses(cc));
}

bool is_empty_message(const MessageFields& fields) {
  return fields.subject == kDefaultSubject && fields.body.empty() &&
         fields.sender.empty() && fields.to.empty();
}

MessageOutcome write_message_directory(libpff_item_t* message, const std::string& archive_name,
                                       const std::filesystem::path& path, Console& console,
                                       MessageBuffers& buffers, BlockDamage& damage_told) {
  // Whatever an earlier run or a failed message left there goes first, so
  // that every file is created new and a rerun gives the same tree.
  OutputDirectory directory = OutputDirectory::create_fresh(path);
  MessageFields fields =
      dump_debug_fields(message, archive_name, directory, console, buffers.dump);
  correct_from_headers(fields);
  // The message's own damage, outside its attachments' reads.
  BlockDamage damage = take_new_damage(damage_met(message), damage_told);
  if (is_empty_message(fields)) {
    tell_damage(console, damage, path.u8string() + " (message vide, non ecrit)");
    directory.close();
    remove_directory_tree(path);
    return MessageOutcome::kEmpty;
  }

  // A mail.txt that cannot be written in full (a full disk included) is a
  // failed export, not a success: the number stays for the next message.
  // Once it is written the message counts, whatever else is lost: the loss
  // is on the console, and the number is not reused.
  format_mail_text(fields, buffers.mail_text);
  if (write_new_file(directory, kMailTextFileName, buffers.mail_text) != 0) {
    console.err("Impossible d'ecrire mail.txt: " + path.u8string() + "\n");
    tell_damage(console, damage, path.u8string());
    return MessageOutcome::kMailTextFailed;
  }
  if (!fields.headers.empty()) {
    write_or_report(directory, kHeadersFileName, fields.headers, console);
  }
  export_attachments(message, directory, console, damage_told);
  damage += take_new_damage(damage_met(message), damage_told);
  tell_damage(console, damage, path.u8string());
  // Written last: present, it says this directory's export finished.
  write_or_report(directory, kMailOkFileName, std::string_view(), console);
  return MessageOutcome::kExported;
}

bool count_message(MessageOutcome outcome, const std::filesystem::path& directory,
                   MailExportContext& context) {
  if (outcome != MessageOutcome::kExported) return false;
  context.console->out("MAIL " + std::to_string(context.mail_number) + " OK -> " +
                       directory.u8string() + "\n");
  ++context.mail_number;
  return true;
}

bool export_message(libpff_item_t* message, MailExportContext& context) {
  const std::filesystem::path directory =
      context.output_root /
      std::filesystem::u8path(message_directory_name(context.archive_name, context.mail_number));
  return count_message(
      write_message_directory(message, context.archive_name, directory, *context.console,
                              context.buffers, context.damage_told),
      directory, context);
}

}  // namespace quillmar
