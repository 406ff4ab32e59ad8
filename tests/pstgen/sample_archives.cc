#include "sample_archives.h"

#include "tags.h"

namespace pstgen_test {
namespace {

using pstgen::Folder;
using pstgen::Message;
using pstgen::RecipientType;

constexpr uint64_t kDecember2023 = 133476000000000000ull;  // 2023-12-21 02:40:00 UTC

std::string text_of_size(size_t size, char tag) {
  std::string out;
  for (int line = 0; out.size() < size; ++line) {
    out += "Line " + std::to_string(line) + " of body " + tag + ": the quick brown fox.\r\n";
  }
  out.resize(size);
  return out;
}

std::string headers_for(const std::string& subject, const std::string& to) {
  return "Received: from relay.example (relay.example [192.0.2.1])\r\n\tby mx.example; Thu, 21 Dec 2023 "
         "02:40:00 +0000\r\nFrom: \"Bob Sender\" <bob@example.com>\r\nTo: " + to +
         "\r\nSubject: " + subject + "\r\nDate: Thu, 21 Dec 2023 02:40:00 +0000\r\nMIME-Version: 1.0\r\n\r\n";
}

// A mail message with the properties both readers need to show it.
Message& add_mail(Folder& folder, const std::string& subject, const std::string& body, ExpectedMessage& e) {
  Message& m = folder.add_message();
  m.set_unicode(pstgen::kPropMessageClass, "IPM.Note").set_unicode(pstgen::kPropSubject, subject);
  m.set_filetime(pstgen::kPropDeliveryTime, kDecember2023).set_filetime(pstgen::kPropClientSubmitTime, kDecember2023);
  m.set_unicode(pstgen::kPropSenderName, "Bob Sender").set_unicode(pstgen::kPropSenderEmail, "bob@example.com");
  if (!body.empty()) m.set_unicode(pstgen::kPropBody, body);
  e.nid = m.nid();
  e.subject = subject;
  e.body = body;
  return m;
}

void add_headers(Message& m, ExpectedMessage& e, const std::string& to) {
  e.headers = headers_for(e.subject, to);
  m.set_unicode(pstgen::kPropTransportHeaders, e.headers);
}

void add_attachment(Message& m, ExpectedMessage& e, const std::string& long_name, std::string data) {
  m.add_attachment({long_name, "ATTACH~1.BIN", data});
  e.attachments.push_back({long_name, std::move(data)});
}

ExpectedMessage in_folder(const std::string& path) {
  ExpectedMessage e;
  e.folder_path = path;
  return e;
}

}  // namespace

std::string pattern_bytes(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = static_cast<char>(x >> 23);
  }
  return out;
}

std::vector<ExpectedMessage> build_rich_archive(pstgen::Archive& a) {
  std::vector<ExpectedMessage> expected;
  Folder& inbox = a.add_folder(a.ipm_subtree(), "Inbox");
  Folder& projects = a.add_folder(inbox, "Projets été 2024");
  Folder& deep = a.add_folder(a.add_folder(projects, "Level 2"), "Level 3");

  ExpectedMessage e = in_folder("Inbox");
  Message& typed = add_mail(inbox, "Every property type", "Short body.", e);
  typed.set_string8(0x0E1D, "normalized \xE9 bytes");  // PT_STRING8, raw Latin-1 byte
  typed.set_long(pstgen::kPropImportance, 2).set_short(0x4001, 0x1234).set_bool(0x0E1F, true);
  typed.props().set_longlong(0x4002, 0x0123456789ABCDEFull);
  typed.set_binary(pstgen::kPropHtmlBody, "<html><body>Short body.</body></html>");
  typed.set_filetime(pstgen::kPropCreationTime, kDecember2023 + 10000000);
  add_headers(typed, e, "\"Ann Example\" <ann@example.com>");
  typed.add_recipient({RecipientType::kTo, "Ann Example", "ann@example.com", "ann@example.com"});
  typed.add_recipient({RecipientType::kCc, "Zoë Müller", "zoe@example.com", "zoe@example.com"});
  typed.add_recipient({RecipientType::kBcc, "Hidden Person", "hidden@example.com", ""});
  e.recipients = 3;
  expected.push_back(e);

  e = in_folder("Inbox");
  Message& attachments = add_mail(inbox, "Réunion — pièces jointes ☕", "See the three files.", e);
  add_attachment(attachments, e, "empty.txt", "");
  add_attachment(attachments, e, "small note.txt", "hello attachment");
  add_attachment(attachments, e, "scan 2500000.bin", pattern_bytes(2500000, 1));
  attachments.add_recipient({RecipientType::kTo, "Ann Example", "ann@example.com", "ann@example.com"});
  e.recipients = 1;
  expected.push_back(e);

  e = in_folder("Inbox/Projets été 2024");
  Message& big = add_mail(projects, "Large body and a 9 MB file", text_of_size(60000, 'L'), e);
  add_headers(big, e, "ann@example.com");
  add_attachment(big, e, "archive.zip", pattern_bytes(9000000, 2));
  expected.push_back(e);

  e = in_folder("Inbox/Projets été 2024/Level 2/Level 3");
  Message& wide = add_mail(deep, "Sujet 日本語の件名 and many properties", "Deep body.", e);
  for (uint16_t i = 0; i < 30; ++i) wide.set_unicode(static_cast<uint16_t>(0x6600 + i), text_of_size(1400, 'w'));
  wide.set_unicode(0x6700, "Emoji \xF0\x9F\x98\x80 outside the basic plane");
  expected.push_back(e);
  return expected;
}

std::vector<ExpectedMessage> build_many_messages_archive(pstgen::Archive& a, int count) {
  std::vector<ExpectedMessage> expected;
  Folder* folders[] = {&a.add_folder(a.ipm_subtree(), "Inbox"), &a.add_folder(a.ipm_subtree(), "Archive")};
  for (int i = 0; i < count; ++i) {
    ExpectedMessage e = in_folder(i % 3 == 0 ? "Archive" : "Inbox");
    add_mail(*folders[i % 3 == 0 ? 1 : 0], "Message " + std::to_string(i), "Body of message " + std::to_string(i), e);
    expected.push_back(e);
  }
  return expected;
}

}  // namespace pstgen_test
