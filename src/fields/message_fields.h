// The resolved output fields of one message, and the recipient-list form
// that its to and cc fields keep: items each followed by ';', no blank added.
#ifndef QUILLMAR_FIELDS_MESSAGE_FIELDS_H_
#define QUILLMAR_FIELDS_MESSAGE_FIELDS_H_

#include <string>

namespace quillmar {

struct MessageFields {
  std::string who;                 // name of the archive the message comes from
  std::string sender;              // address, display name or raw From value
  std::string to;                  // primary recipients, recipient-list form
  std::string cc;                  // copy recipients, recipient-list form
  std::string priority = "Normale";  // "Haute", "Normale" or "Basse"
  std::string subject;             // raw until field resolution cleans it
  std::string date;                // local-time text or raw Date value
  std::string body;                // plain-text body
  std::string headers;             // raw transport header block
};

// Display list to recipient-list form: trimmed; ',' becomes ';'; TAB, LF and
// CR become blanks; runs of blanks squeezed to one; ';' appended when the
// text does not end with one. "" for empty or all-blank text. Linear.
std::string normalize_recipient_list(std::string text);

// list with item (trimmed) appended, unless item is empty or already occurs
// anywhere in list as a byte sequence (case-sensitive). Keeps the ';' form.
std::string append_unique_item(std::string list, std::string item);

}  // namespace quillmar

#endif  // QUILLMAR_FIELDS_MESSAGE_FIELDS_H_
