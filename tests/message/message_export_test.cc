// Message export on generated archives: the bytes of mail.txt and
// headers.txt, the files of a message directory, the empty-message discard,
// and the corrections from the transport headers.
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

namespace fs = std::filesystem;

// 2021-03-14 15:09:26 UTC.
constexpr uint64_t kSubmitTicks = 132602081660000000;

std::string MailText(const std::string& sender, const std::string& to, const std::string& cc,
                     const std::string& priority, const std::string& subject,
                     const std::string& date, const std::string& body) {
  return "#$who : Inbox2019\r\n#$eme : " + sender + "\r\n#$des : " + to + "\r\n#$cop : " + cc +
         "\r\n#$pri : " + priority + "\r\n#$tit : " + subject + "\r\n#$dat : " + date +
         "\r\n#$txt : " + body + "\r\n";
}

class MessageExportTest : public ExportTest {};

// Values are written as read, line breaks included, but for the subject,
// which loses its control bytes and surrounding blanks; only the records end
// in CR LF. Dates are local times.
TEST_F(MessageExportTest, MailTextHeadersAndFilesOfAMessage) {
  const std::string headers = "Received: from x\r\n\tby y\r\nX-Sujet: \xC3\xA9t\xC3\xA9\nX-B: 1";
  AddMail("\x01 \xC3\x89t\xC3\xA9 2024 ", "line 1\nline 2\r\n\r\nline 4\n")
      .set_unicode(0x0C1A, "Alice Martin")
      .set_unicode(0x0E04, "Bob;Carol")
      .set_long(0x0017, 2)
      .set_filetime(0x0039, kSubmitTicks)
      .set_unicode(0x007D, headers);
  for (const auto& [zone, time] : {std::pair{"UTC0", "15:09:26"}, {"Europe/Paris", "16:09:26"}}) {
    if (!CanUseTimeZone(zone)) continue;
    SetEnvironment("TZ", zone);  // without tzset: the run reads TZ as it starts
    fs::remove_all(output_dir());
    const RunOutput run = Export();
    EXPECT_EQ(run.out, Console("MAIL 1 OK -> " + Dir(1) + "\n", 1));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Read("Inbox2019_00000001/mail.txt"),
              MailText("Alice Martin", "Bob;Carol;", "", "Haute", "\xC3\x89t\xC3\xA9 2024",
                       std::string("2021-03-14 ") + time, "line 1\nline 2\r\n\r\nline 4\n"));
  }
  EXPECT_EQ(Read("Inbox2019_00000001/headers.txt"), headers);
  EXPECT_EQ(List("Inbox2019_00000001"),
            (Names{"debug_fields.txt", "headers.txt", "mail.ok", "mail.txt", "pj"}));
  EXPECT_EQ(Read("Inbox2019_00000001/mail.ok"), "");
}

// Discarded: the default subject with no body, sender or to, whatever else
// the message holds. The directory goes and the number is reused.
TEST_F(MessageExportTest, EmptyMessagesAreDiscardedAndTheirNumbersReused) {
  const std::function<void(pstgen::Message&)> empties[] = {
      [](pstgen::Message&) {},
      [](pstgen::Message& m) { m.set_unicode(0x0037, "(sans sujet)"); },
      [](pstgen::Message& m) { m.set_unicode(0x0037, " \t\x01 "); },
      [](pstgen::Message& m) { m.set_unicode(0x0E03, "Dan"); },
      [](pstgen::Message& m) { m.set_filetime(0x0039, kSubmitTicks); },
      [](pstgen::Message& m) { m.set_long(0x0017, 2); },
      [](pstgen::Message& m) { m.set_unicode(0x007D, "X-Mailer: t\r\nCc: dan@x.fr\r\n"); },
  };
  for (const auto& fill : empties) fill(inbox().add_message().set_unicode(0x001A, "IPM.Note"));
  AddMail("next");
  const RunOutput run = Export();
  EXPECT_EQ(run.out, Console("MAIL 1 OK -> " + Dir(1) + "\n", 1));
  EXPECT_EQ(List(), Names{"Inbox2019_00000001"});
  EXPECT_EQ(Subjects(), "next");
}

// Messages without subject, each kept by one of body, sender or to. The
// sender, to and cc of mail.txt are replaced by the addresses of the From, To
// and Cc headers when these hold any; the dump, written before, keeps the
// resolved values.
TEST_F(MessageExportTest, HeaderAddressesCorrectMailTextOnly) {
  struct Addresses {
    std::string sender = "", to = "", cc = "";
  };
  const struct {
    Addresses given;  // 0x0C1F, 0x0E04, 0x0E03, each set when not empty
    std::string headers, body;
    Addresses mail, dump;  // in mail.txt and in debug_fields.txt
  } rows[] = {
      {{}, "", "b", {}, {}},
      {{"a@b.fr"}, "", "", {"a@b.fr"}, {"a@b.fr"}},
      {{"", "Bob"}, "", "", {"", "Bob;"}, {"", "Bob;"}},
      {{}, "From: <a@b.fr>\r\n", "", {"a@b.fr"}, {"<a@b.fr>"}},
      {{"alice@old.fr"}, "From: Alice <Alice.Martin@New.Example>\r\n", "",
       {"Alice.Martin@New.Example"}, {"alice@old.fr"}},
      {{"Alice M."}, "From: Alice\r\n", "", {"Alice M."}, {"Alice M."}},
      {{"", "Bob"}, "To: bob@x.fr, Carol <carol@y.fr>,\r\n BOB@X.FR\r\nCc: Dan <dan@z.fr>\r\n", "",
       {"", "bob@x.fr;carol@y.fr;", "dan@z.fr;"}, {"", "Bob;", "Dan <dan@z.fr>;"}},
      {{"", "Bob", "Carol"}, "To: Bob\r\nCc: undisclosed-recipients:;\r\n", "",
       {"", "Bob;", "Carol;"}, {"", "Bob;", "Carol;"}},
  };
  for (const auto& row : rows) {
    pstgen::Message& message = inbox().add_message();
    const std::pair<uint16_t, std::string> values[] = {{0x0C1F, row.given.sender},
        {0x0E04, row.given.to}, {0x0E03, row.given.cc}, {0x007D, row.headers}, {0x1000, row.body}};
    for (const auto& [id, value] : values) {
      if (!value.empty()) message.set_unicode(id, value);
    }
  }
  ASSERT_EQ(Export().result, 8);
  for (int n = 1; n <= 8; ++n) {
    const auto& row = rows[n - 1];
    const std::string dir = fs::path(Dir(n)).filename().string();
    EXPECT_EQ(Read(dir + "/mail.txt"),
              MailText(row.mail.sender, row.mail.to, row.mail.cc, "Normale", "(sans sujet)", "",
                       row.body)) << n;
    EXPECT_NE(Read(dir + "/debug_fields.txt").find("\r\nsender=" + row.dump.sender + "\r\nto=" +
                                                   row.dump.to + "\r\ncc=" + row.dump.cc + "\r\n"),
              std::string::npos) << n;
  }
}

}  // namespace
}  // namespace quillmar_test
