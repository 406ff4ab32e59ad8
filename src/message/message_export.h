// Export of one message into its numbered directory.
#ifndef QUILLMAR_MESSAGE_MESSAGE_EXPORT_H_
#define QUILLMAR_MESSAGE_MESSAGE_EXPORT_H_

#include <cstdint>
#include <filesystem>
#include <string>

#include <libpff.h>

#include "fields/message_fields.h"
#include "run/mail_export_context.h"

namespace quillmar {

// archive_name + "_" + number padded with zeros to at least 8 digits.
std::string message_directory_name(const std::string& archive_name, int32_t number);

// The bytes of mail.txt: eight labelled records, each ended by CR LF.
std::string format_mail_text(const MessageFields& fields);
// The same bytes, in text (emptied first).
void format_mail_text(const MessageFields& fields, std::string& text);

// Replaces sender, to and cc with the addresses found in the From, To and Cc
// headers, each only when its header yields at least one address.
void correct_from_headers(MessageFields& fields);

// True when the message has nothing to show: default subject and empty
// body, sender and to.
bool is_empty_message(const MessageFields& fields);

enum class MessageOutcome {
  kExported,        // mail.txt written: the message takes its number
  kEmpty,           // nothing to show: the directory is removed
  kMailTextFailed,  // mail.txt could not be written: reported, directory left
};

// Writes message into directory `path`, emptied first: the dump, then (unless the
// message is empty, in which case the directory is removed) mail.txt,
// headers.txt when there are headers, the "pj" attachments and mail.ok last.
// Losses are reported on console; a failed mail.txt as "Impossible d'ecrire
// mail.txt: <directory>". Damage the message's handle meets beyond
// damage_told (which then covers it) is named in one line per attachment
// file and one for the directory (with " (message vide, non ecrit)" for an
// empty message). Throws filesystem_error when the directory cannot be
// created or removed. The files' text is built in buffers.
MessageOutcome write_message_directory(libpff_item_t* message, const std::string& archive_name,
                                       const std::filesystem::path& path, Console& console,
                                       MessageBuffers& buffers, BlockDamage& damage_told);

// For an exported message, prints "MAIL n OK -> dir" with n the context's
// mail number, and advances it. True when exported.
bool count_message(MessageOutcome outcome, const std::filesystem::path& directory,
                   MailExportContext& context);

// Writes message into output_root/<archive_name>_<mail_number> and counts it.
// Returns false, without advancing, for an empty message or when mail.txt
// cannot be written.
bool export_message(libpff_item_t* message, MailExportContext& context);

}  // namespace quillmar

#endif  // QUILLMAR_MESSAGE_MESSAGE_EXPORT_H_
