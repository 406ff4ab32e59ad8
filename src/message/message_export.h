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

// Replaces sender, to and cc with the addresses found in the From, To and Cc
// headers, each only when its header yields at least one address.
void correct_from_headers(MessageFields& fields);

// True when the message has nothing to show: default subject and empty
// body, sender and to.
bool is_empty_message(const MessageFields& fields);

// Writes message into output_root/<archive_name>_<mail_number>: the dump,
// then (unless the message is empty, in which case the directory is removed)
// mail.ok, mail.txt, headers.txt when there are headers, and the "pj"
// attachments; prints "MAIL n OK -> dir" and advances context.mail_number.
// Returns false, without advancing, for an empty message or when mail.txt
// cannot be written (reported on standard error). Throws filesystem_error
// when the directory cannot be created or removed.
bool export_message(libpff_item_t* message, MailExportContext& context);

}  // namespace quillmar

#endif  // QUILLMAR_MESSAGE_MESSAGE_EXPORT_H_
