// export_message against the fake libpff: directory naming and numbering,
// the empty-message discard, the bytes of mail.txt and headers.txt, the
// corrections from the transport headers, and the mail.txt failure paths.
#include "message/message_export.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
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

constexpr char kArchiveName[] = "Inbox2019";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The lines of text, each without its CR LF.
std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// Sets TZ to UTC for one test and puts the previous value back.
class UtcZone {
 public:
  UtcZone() {
    const char* previous = std::getenv("TZ");
    if (previous != nullptr) previous_ = previous;
    had_ = previous != nullptr;
    setenv("TZ", "UTC0", 1);
    tzset();
  }
  ~UtcZone() {
    if (had_) {
      setenv("TZ", previous_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_ = false;
  std::string previous_;
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
  } rows[] = {
      {1, "Inbox2019_00000001"},
      {42, "Inbox2019_00000042"},
      {99999999, "Inbox2019_99999999"},
      {100000000, "Inbox2019_100000000"},
      {123456789, "Inbox2019_123456789"},
      {2147483646, "Inbox2019_2147483646"},
  };
  for (const auto& row : rows) {
    context_.mail_number = row.number;
    const RunOutput run = ExportOne(AddMail(archive_.root(), "s"));
    EXPECT_EQ(run.result, 1) << row.number;
    EXPECT_EQ(run.out, MailLine(row.number, row.directory)) << row.number;
    EXPECT_TRUE(fs::is_regular_file(Dir(row.directory) / "mail.txt")) << row.number;
    EXPECT_EQ(context_.mail_number, row.number + 1);
  }
}

TEST_F(MessageExportTest, MailTextOfATypicalMessage) {
  UtcZone utc;
  Node& message = archive_.root().add_message();
  message.set_unicode(0x0C1A, "Alice Martin")
      .set_unicode(0x0E04, "Bob;Carol")
      .set_unicode(0x0037, "Bonjour")
      .set_filetime(0x0039, 132602081660000000);  // 2021-03-14 15:09:26 UTC
  message.set_plain_text_body("Salut");
  const RunOutput run = ExportOne(message);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.out, MailLine(1, "Inbox2019_00000001"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadOutput("Inbox2019_00000001/mail.txt"),
            "#$who : Inbox2019\r\n"
            "#$eme : Alice Martin\r\n"
            "#$des : Bob;Carol;\r\n"
            "#$cop : \r\n"
            "#$pri : Normale\r\n"
            "#$tit : Bonjour\r\n"
            "#$dat : 2021-03-14 15:09:26\r\n"
            "#$txt : Salut\r\n");
  EXPECT_EQ(ListOutput("Inbox2019_00000001"),
            (std::vector<std::string>{"debug_fields.txt", "mail.ok", "mail.txt", "pj"}));
  EXPECT_EQ(ReadOutput("Inbox2019_00000001/mail.ok"), "");
  EXPECT_TRUE(ListOutput("Inbox2019_00000001/pj").empty());
  EXPECT_EQ(context_.mail_number, 2);
}

TEST_F(MessageExportTest, ValuesAreWrittenRawAndOnlyRecordsEndInCrLf) {
  Node& message = archive_.root().add_message();
  message.set_unicode(0x0037, "\xC3\x89t\xC3\xA9 2024").set_u32(0x0017, 2);
  message.set_plain_text_body("line 1\nline 2\r\n\r\nline 4\n");
  ASSERT_EQ(ExportOne(message).result, 1);
  EXPECT_EQ(ReadOutput("Inbox2019_00000001/mail.txt"),
            "#$who : Inbox2019\r\n#$eme : \r\n#$des : \r\n#$cop : \r\n#$pri : Haute\r\n"
            "#$tit : \xC3\x89t\xC3\xA9 2024\r\n#$dat : \r\n"
            "#$txt : line 1\nline 2\r\n\r\nline 4\n\r\n");
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
  EXPECT_EQ(ListOutput(), std::vector<std::string>{"Inbox2019_00000001"});
}

TEST_F(MessageExportTest, AnyOfBodySenderOrToKeepsAMessageWithoutSubject) {
  const struct {
    const char* name;
    std::function<void(Node&)> setup;
    size_t record;  // 0-based record of mail.txt that holds the value
    std::string value;
  } rows[] = {
      {"body", [](Node& m) { m.set_plain_text_body("only a body"); }, 7, "only a body"},
      {"sender", [](Node& m) { m.set_unicode(0x0C1F, "a@b.fr"); }, 1, "a@b.fr"},
      {"to", [](Node& m) { m.set_unicode(0x0E04, "Bob"); }, 2, "Bob;"},
      {"From header only", [](Node& m) { m.set_unicode(0x007D, "From: <a@b.fr>\r\n"); }, 1,
       "a@b.fr"},
  };
  int number = 1;
  for (const auto& row : rows) {
    Node& message = archive_.root().add_message();
    row.setup(message);
    const RunOutput run = ExportOne(message);
    ASSERT_EQ(run.result, 1) << row.name;
    const std::vector<std::string> records =
        CrLfLines(ReadFile(Dir(message_directory_name(kArchiveName, number++)) / "mail.txt"));
    ASSERT_EQ(records.size(), 8u) << row.name;
    EXPECT_EQ(records[5], "#$tit : (sans sujet)") << row.name;
    EXPECT_EQ(records[row.record].substr(8), row.value) << row.name;
  }
}

// Sender, To and Cc are replaced by the addresses of their headers; the dump,
// written before, keeps the resolved values.
TEST_F(MessageExportTest, HeaderAddressesCorrectSenderAndRecipients) {
  const struct {
    const char* name;
    std::function<void(Node&)> setup;
    std::string sender, to, cc;              // in mail.txt
    std::string dump_sender, dump_to, dump_cc;  // in debug_fields.txt
  } rows[] = {
      {"From address replaces the sender",
       [](Node& m) {
         m.set_unicode(0x0C1F, "alice@old.fr")
             .set_unicode(0x007D, "From: Alice <Alice.Martin@New.Example>\r\n");
       },
       "Alice.Martin@New.Example", "", "", "alice@old.fr", "", ""},
      {"From without an address keeps the sender",
       [](Node& m) { m.set_unicode(0x0C1A, "Alice M.").set_unicode(0x007D, "From: Alice\r\n"); },
       "Alice M.", "", "", "Alice M.", "", ""},
      {"To addresses differing in case count once",
       [](Node& m) {
         m.set_unicode(0x0E04, "Bob").set_unicode(
             0x007D, "To: bob@x.fr, Carol <carol@y.fr>,\r\n BOB@X.FR\r\nCc: Dan <dan@z.fr>\r\n");
       },
       "", "bob@x.fr;carol@y.fr;", "dan@z.fr;", "", "Bob;", "Dan <dan@z.fr>;"},
      {"headers without To keep the resolved to",
       [](Node& m) {
         m.set_unicode(0x0E04, "Bob").set_unicode(0x0E03, "Carol").set_unicode(
             0x007D, "From: a@b.fr\r\nSubject: s\r\n");
       },
       "a@b.fr", "Bob;", "Carol;", "a@b.fr", "Bob;", "Carol;"},
      {"To and Cc without addresses keep the resolved values",
       [](Node& m) {
         m.set_unicode(0x0E04, "Bob").set_unicode(0x0E03, "Carol").set_unicode(
             0x007D, "To: Bob\r\nCc: undisclosed-recipients:;\r\n");
       },
       "", "Bob;", "Carol;", "", "Bob;", "Carol;"},
      {"no headers, no correction",
       [](Node& m) { m.set_unicode(0x0C1F, "Alice <a@b.fr>").set_unicode(0x0E04, "x@y.fr"); },
       "Alice <a@b.fr>", "x@y.fr;", "", "Alice <a@b.fr>", "x@y.fr;", ""},
  };
  int number = 1;
  for (const auto& row : rows) {
    Node& message = AddMail(archive_.root(), "s");
    row.setup(message);
    ASSERT_EQ(ExportOne(message).result, 1) << row.name;
    const fs::path dir = Dir(message_directory_name(kArchiveName, number++));
    const std::vector<std::string> records = CrLfLines(ReadFile(dir / "mail.txt"));
    ASSERT_EQ(records.size(), 8u) << row.name;
    EXPECT_EQ(records[1], "#$eme : " + row.sender) << row.name;
    EXPECT_EQ(records[2], "#$des : " + row.to) << row.name;
    EXPECT_EQ(records[3], "#$cop : " + row.cc) << row.name;
    const std::string dump = ReadFile(dir / "debug_fields.txt");
    EXPECT_NE(dump.find("\r\nsender=" + row.dump_sender + "\r\nto=" + row.dump_to + "\r\ncc=" +
                        row.dump_cc + "\r\n"),
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
// after mail.ok written.
TEST_F(MessageExportTest, MailTextThatCannotBeWrittenFailsTheExport) {
  const struct {
    const char* name;
    std::function<void(const fs::path&)> obstruct;
  } rows[] = {
      {"directory in the way", [](const fs::path& p) { fs::create_directory(p); }},
      {"full disk", [](const fs::path& p) { fs::create_symlink("/dev/full", p); }},
  };
  bool full_disk_skipped = false;
  for (const auto& row : rows) {
    if (std::string(row.name) == "full disk" && !fs::exists("/dev/full")) {
      full_disk_skipped = true;
      continue;
    }
    context_ = {work() / row.name, kArchiveName, 7};
    const fs::path dir = Dir("Inbox2019_00000007");
    fs::create_directories(dir);
    row.obstruct(dir / "mail.txt");
    Node& message = AddMail(archive_.root(), "s");
    message.set_unicode(0x007D, "X-A: 1\r\n");
    message.add_attachment("data").set_unicode(0x3707, "a.bin");

    const RunOutput run = ExportOne(message);
    EXPECT_EQ(run.result, 0) << row.name;
    EXPECT_EQ(run.out, "") << row.name;
    EXPECT_EQ(run.err, "Impossible d'ecrire mail.txt: " + dir.string() + "\n") << row.name;
    EXPECT_EQ(context_.mail_number, 7) << row.name;
    EXPECT_TRUE(fs::is_regular_file(dir / "mail.ok")) << row.name;
    EXPECT_TRUE(fs::is_regular_file(dir / "debug_fields.txt")) << row.name;
    EXPECT_FALSE(fs::exists(dir / "headers.txt")) << row.name;
    EXPECT_FALSE(fs::exists(dir / "pj")) << row.name;
  }
  if (full_disk_skipped) GTEST_SKIP() << "no /dev/full here: the full-disk case was not run";
}

// Failures to write mail.ok or headers.txt are ignored.
TEST_F(MessageExportTest, MarkerOrHeadersThatCannotBeWrittenChangeNothing) {
  for (const char* blocked : {"mail.ok", "headers.txt"}) {
    context_ = {work() / blocked, kArchiveName, 1};
    fs::create_directories(Dir("Inbox2019_00000001") / blocked);
    Node& message = AddMail(archive_.root(), "s");
    message.set_unicode(0x007D, "X-A: 1\r\n").add_attachment("data").set_unicode(0x3707, "a.bin");
    const RunOutput run = ExportOne(message);
    EXPECT_EQ(run.result, 1) << blocked;
    EXPECT_EQ(run.out, MailLine(1, "Inbox2019_00000001")) << blocked;
    EXPECT_EQ(run.err, "") << blocked;
    EXPECT_TRUE(fs::is_regular_file(Dir("Inbox2019_00000001") / "mail.txt")) << blocked;
    EXPECT_TRUE(fs::is_regular_file(Dir("Inbox2019_00000001") / "pj" / "a.bin")) << blocked;
    EXPECT_EQ(context_.mail_number, 2) << blocked;
  }
}

// An earlier run's directory is reused: its files are rewritten, and a
// headers.txt that the new message does not have stays.
TEST_F(MessageExportTest, ExistingDirectoryIsReusedInPlace) {
  const fs::path dir = Dir("Inbox2019_00000001");
  fs::create_directories(dir);
  std::ofstream(dir / "mail.txt") << "an older and much longer mail.txt than the new one";
  std::ofstream(dir / "headers.txt") << "old";
  ASSERT_EQ(ExportOne(AddMail(archive_.root(), "s", "b")).result, 1);
  EXPECT_EQ(CrLfLines(ReadOutput("Inbox2019_00000001/mail.txt")).back(), "#$txt : b");
  EXPECT_EQ(ReadOutput("Inbox2019_00000001/headers.txt"), "old");
}

TEST_F(MessageExportTest, DirectoryThatCannotBeCreatedThrows) {
  fs::create_directories(context_.output_root);
  std::ofstream(Dir("Inbox2019_00000001")) << "a file where the directory goes";
  fakepff::ScopedItem item(AddMail(archive_.root(), "s"));
  try {
    export_message(item.get(), context_);
    ADD_FAILURE() << "no exception";
  } catch (const fs::filesystem_error& error) {
    EXPECT_NE(std::string(error.what()).find("create_directories"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(context_.mail_number, 1);
}

}  // namespace
}  // namespace quillmar
