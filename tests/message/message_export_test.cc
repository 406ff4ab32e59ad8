// export_message against the fake libpff: directory naming and numbering,
// the empty-message discard, the bytes of mail.txt and headers.txt, the
// corrections from the transport headers, and the output failure paths.
#include "message/message_export.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/export_fixture.h"

namespace quillmar {
namespace {

namespace fs = std::filesystem;
using fakepff::Node;
using quillmar_test::CaptureConsole;
using quillmar_test::ExportTest;
using quillmar_test::RunOutput;
using Names = std::vector<std::string>;

constexpr char kArchiveName[] = "Inbox2019";

// mail.txt of a message without subject, date or importance.
std::string UntitledMailText(const std::string& sender, const std::string& to,
                             const std::string& cc, const std::string& body) {
  return "#$who : Inbox2019\r\n#$eme : " + sender + "\r\n#$des : " + to + "\r\n#$cop : " + cc +
         "\r\n#$pri : Normale\r\n#$tit : (sans sujet)\r\n#$dat : \r\n#$txt : " + body + "\r\n";
}

// Sets TZ to UTC for one test and puts the previous value back.
class UtcZone {
 public:
  UtcZone() {
    if (const char* zone = std::getenv("TZ")) previous_ = zone;
    Set("UTC0");
  }
  ~UtcZone() { Set(previous_ ? previous_->c_str() : nullptr); }

 private:
  static void Set(const char* zone) {
    zone != nullptr ? setenv("TZ", zone, 1) : unsetenv("TZ");
    tzset();
  }
  std::optional<std::string> previous_;
};

class MessageExportTest : public ExportTest {
 protected:
  MessageExportTest() { context_ = {output_dir(), kArchiveName, 1}; }
  void TearDown() override { EXPECT_EQ(fakepff::audit(), ""); }

  // export_message with the console captured; result is 1 for true.
  RunOutput ExportOne(Node& message) {
    fakepff::ScopedItem item(message);
    return CaptureConsole([&] { return export_message(item.get(), context_) ? 1 : 0; });
  }

  fs::path Dir(const std::string& name) const { return context_.output_root / name; }
  std::string MailLine(int number, const std::string& name) const {
    return "MAIL " + std::to_string(number) + " OK -> " + Dir(name).string() + "\n";
  }

  MailExportContext context_;
};

TEST_F(MessageExportTest, DirectoryNameIsPaddedToEightDigitsAndNeverCut) {
  const struct {
    int32_t number;
    const char* directory;
  } rows[] = {{1, "Inbox2019_00000001"},
              {99999999, "Inbox2019_99999999"},
              {100000000, "Inbox2019_100000000"},
              {2147483647, "Inbox2019_2147483647"}};
  for (const auto& row : rows) {
    EXPECT_EQ(message_directory_name(kArchiveName, row.number), row.directory) << row.number;
  }
}

// Values are written as read, line breaks included, but for the subject,
// which loses its control bytes and surrounding blanks; only the records end
// in CR LF.
TEST_F(MessageExportTest, MailTextBytes) {
  UtcZone utc;
  Node& message = archive_.root().add_message();
  message.set_unicode(0x0C1A, "Alice Martin")
      .set_unicode(0x0E04, "Bob;Carol")
      .set_unicode(0x0037, "\x01 \xC3\x89t\xC3\xA9\x02 2024 ")
      .set_u32(0x0017, 2)
      .set_filetime(0x0039, 132602081660000000)  // 2021-03-14 15:09:26 UTC
      .set_plain_text_body("line 1\nline 2\r\n\r\nline 4\n");
  const RunOutput run = ExportOne(message);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.out, MailLine(1, "Inbox2019_00000001"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadOutput("Inbox2019_00000001/mail.txt"),
            "#$who : Inbox2019\r\n"
            "#$eme : Alice Martin\r\n"
            "#$des : Bob;Carol;\r\n"
            "#$cop : \r\n"
            "#$pri : Haute\r\n"
            "#$tit : \xC3\x89t\xC3\xA9 2024\r\n"
            "#$dat : 2021-03-14 15:09:26\r\n"
            "#$txt : line 1\nline 2\r\n\r\nline 4\n\r\n");
  EXPECT_EQ(ListOutput("Inbox2019_00000001"),
            (Names{"debug_fields.txt", "mail.ok", "mail.txt", "pj"}));
  EXPECT_EQ(ReadOutput("Inbox2019_00000001/mail.ok"), "");
  EXPECT_TRUE(ListOutput("Inbox2019_00000001/pj").empty());
  EXPECT_EQ(context_.mail_number, 2);
}

// Discarded: default subject with empty body, sender and to, whatever else
// the message holds. The directory goes, the number stays for the next one.
TEST_F(MessageExportTest, EmptyMessageIsDiscardedAndItsNumberReused) {
  const struct {
    const char* name;
    std::function<void(Node&)> setup;
  } rows[] = {
      {"nothing at all", [](Node&) {}},
      {"subject spelled as the default", [](Node& m) { m.set_unicode(0x0037, "(sans sujet)"); }},
      {"subject of blanks and controls", [](Node& m) { m.set_unicode(0x0037, " \t\x01 "); }},
      {"copy recipients", [](Node& m) { m.set_unicode(0x0E03, "Dan"); }},
      {"date", [](Node& m) { m.set_filetime(0x0039, 132602081660000000); }},
      {"high importance", [](Node& m) { m.set_u32(0x0017, 2); }},
      {"headers without sender, recipients or subject",
       [](Node& m) { m.set_unicode(0x007D, "X-Mailer: test\r\nCc: dan@x.fr\r\n"); }},
  };
  for (const auto& row : rows) {
    Node& message = archive_.root().add_message();
    row.setup(message);
    const RunOutput run = ExportOne(message);
    EXPECT_EQ(run.result, 0) << row.name;
    EXPECT_EQ(run.out + run.err, "") << row.name;
    EXPECT_TRUE(ListOutput().empty()) << row.name;
    EXPECT_EQ(context_.mail_number, 1) << row.name;
  }
  ASSERT_EQ(ExportOne(AddMail(archive_.root(), "next")).result, 1);
  EXPECT_EQ(ListOutput(), Names{"Inbox2019_00000001"});
}

// Messages without subject, each kept by any one of body, sender or to. The
// sender, to and cc of mail.txt are replaced by the addresses of the From, To
// and Cc headers when these hold any; the dump, written before, keeps the
// resolved values.
TEST_F(MessageExportTest, KeptMessagesAndHeaderCorrections) {
  struct Addresses {
    std::string sender = "", to = "", cc = "";
  };
  const struct {
    const char* name;
    Addresses given;  // entries 0x0C1F, 0x0E04, 0x0E03, each set when not empty
    std::string headers, body;
    Addresses mail, dump;  // in mail.txt and in debug_fields.txt
  } rows[] = {
      {"body only", {}, "", "b", {}, {}},
      {"sender only", {"a@b.fr"}, "", "", {"a@b.fr"}, {"a@b.fr"}},
      {"to only", {"", "Bob"}, "", "", {"", "Bob;"}, {"", "Bob;"}},
      {"From header only", {}, "From: <a@b.fr>\r\n", "", {"a@b.fr"}, {"<a@b.fr>"}},
      {"From address replaces the sender", {"alice@old.fr"},
       "From: Alice <Alice.Martin@New.Example>\r\n", "", {"Alice.Martin@New.Example"},
       {"alice@old.fr"}},
      {"From without an address keeps the sender", {"Alice M."}, "From: Alice\r\n", "",
       {"Alice M."}, {"Alice M."}},
      {"To addresses differing in case count once", {"", "Bob"},
       "To: bob@x.fr, Carol <carol@y.fr>,\r\n BOB@X.FR\r\nCc: Dan <dan@z.fr>\r\n", "",
       {"", "bob@x.fr;carol@y.fr;", "dan@z.fr;"}, {"", "Bob;", "Dan <dan@z.fr>;"}},
      {"To and Cc without addresses keep the resolved values", {"", "Bob", "Carol"},
       "To: Bob\r\nCc: undisclosed-recipients:;\r\n", "", {"", "Bob;", "Carol;"},
       {"", "Bob;", "Carol;"}},
  };
  int number = 1;
  for (const auto& row : rows) {
    Node& message = archive_.root().add_message();
    if (!row.given.sender.empty()) message.set_unicode(0x0C1F, row.given.sender);
    if (!row.given.to.empty()) message.set_unicode(0x0E04, row.given.to);
    if (!row.given.cc.empty()) message.set_unicode(0x0E03, row.given.cc);
    if (!row.headers.empty()) message.set_unicode(0x007D, row.headers);
    if (!row.body.empty()) message.set_plain_text_body(row.body);
    ASSERT_EQ(ExportOne(message).result, 1) << row.name;
    const std::string dir = message_directory_name(kArchiveName, number++);
    EXPECT_EQ(ReadOutput(dir + "/mail.txt"),
              UntitledMailText(row.mail.sender, row.mail.to, row.mail.cc, row.body))
        << row.name;
    const std::string dump = ReadOutput(dir + "/debug_fields.txt");
    EXPECT_NE(dump.find("\r\nsender=" + row.dump.sender + "\r\nto=" + row.dump.to +
                        "\r\ncc=" + row.dump.cc + "\r\n"),
              std::string::npos)
        << row.name << "\n" << dump;
  }
}

TEST_F(MessageExportTest, HeadersFileOnlyForHeadersAndByteForByte) {
  const std::string headers =
      "Received: from x\r\n\tby y\r\nX-Sujet: \xC3\xA9t\xC3\xA9\nTo: b@c.fr";
  ASSERT_EQ(ExportOne(AddMail(archive_.root(), "with").set_unicode(0x007D, headers)).result, 1);
  ASSERT_EQ(ExportOne(AddMail(archive_.root(), "without")).result, 1);
  EXPECT_EQ(ReadOutput("Inbox2019_00000001/headers.txt"), headers);
  EXPECT_FALSE(OutputExists("Inbox2019_00000002/headers.txt"));
}

// mail.txt that cannot be opened, or whose bytes cannot be written out (a
// full disk), fails the export: one line, false, the number kept, nothing
// after mail.ok written. Failures to write mail.ok or headers.txt are
// ignored.
TEST_F(MessageExportTest, OutputFilesThatCannotBeWritten) {
  const auto directory = [](const fs::path& p) { fs::create_directory(p); };
  const struct {
    const char* name;
    const char* blocked;
    std::function<void(const fs::path&)> obstruct;
    bool exported;
  } rows[] = {
      {"mail.txt is a directory", "mail.txt", directory, false},
      {"full disk", "mail.txt",
       [](const fs::path& p) { fs::create_symlink("/dev/full", p); }, false},
      {"mail.ok is a directory", "mail.ok", directory, true},
      {"headers.txt is a directory", "headers.txt", directory, true},
  };
  bool full_disk_skipped = false;
  for (const auto& row : rows) {
    if (std::string(row.name) == "full disk" && !fs::exists("/dev/full")) {
      full_disk_skipped = true;
      continue;
    }
    context_ = {output_dir() / row.name, kArchiveName, 7};
    const fs::path dir = Dir("Inbox2019_00000007");
    fs::create_directories(dir);
    row.obstruct(dir / row.blocked);
    Node& message = AddMail(archive_.root(), "s");
    message.set_unicode(0x007D, "X-A: 1\r\n").add_attachment("data").set_unicode(0x3707, "a.bin");

    const RunOutput run = ExportOne(message);
    EXPECT_EQ(run.result, row.exported ? 1 : 0) << row.name;
    EXPECT_EQ(run.out, row.exported ? MailLine(7, "Inbox2019_00000007") : "") << row.name;
    EXPECT_EQ(run.err, row.exported ? "" : "Impossible d'ecrire mail.txt: " + dir.string() + "\n")
        << row.name;
    EXPECT_EQ(context_.mail_number, row.exported ? 8 : 7) << row.name;
    EXPECT_EQ(ListOutput(std::string(row.name) + "/Inbox2019_00000007"),
              (row.exported ? Names{"debug_fields.txt", "headers.txt", "mail.ok", "mail.txt", "pj"}
                            : Names{"debug_fields.txt", "mail.ok", "mail.txt"}))
        << row.name;
    EXPECT_EQ(fs::is_regular_file(dir / "mail.txt"), row.exported) << row.name;
    EXPECT_EQ(fs::is_regular_file(dir / "pj" / "a.bin"), row.exported) << row.name;
  }
  if (full_disk_skipped) GTEST_SKIP() << "no /dev/full here: the full-disk case was not run";
}

// An earlier run's directory is reused: its files are rewritten, and a
// headers.txt that the new message does not have stays.
TEST_F(MessageExportTest, ExistingDirectoryIsReusedInPlace) {
  const fs::path dir = Dir("Inbox2019_00000001");
  fs::create_directories(dir);
  std::ofstream(dir / "mail.txt") << std::string(500, 'x');
  std::ofstream(dir / "headers.txt") << "old";
  ASSERT_EQ(ExportOne(archive_.root().add_message().set_plain_text_body("b")).result, 1);
  EXPECT_EQ(ReadOutput("Inbox2019_00000001/mail.txt"), UntitledMailText("", "", "", "b"));
  EXPECT_EQ(ReadOutput("Inbox2019_00000001/headers.txt"), "old");
}

TEST_F(MessageExportTest, DirectoryThatCannotBeCreatedThrows) {
  fs::create_directories(context_.output_root);
  std::ofstream(Dir("Inbox2019_00000001")) << "a file where the directory goes";
  fakepff::ScopedItem item(AddMail(archive_.root(), "s"));
  EXPECT_THROW(export_message(item.get(), context_), fs::filesystem_error);
  EXPECT_EQ(context_.mail_number, 1);
}

}  // namespace
}  // namespace quillmar
