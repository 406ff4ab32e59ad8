// Where each field of a message comes from: the order in which its sources
// are tried, on messages written by pstgen and read back by libpff.
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

const std::string kHeaders =
    "From: Header Sender <hs@x.org>\r\nTo: Xavier, Yves\r\nCc: Zoe\r\n"
    "Subject: Header subject\r\nDate: Tue, 1 Jan 2019 10:00:00 +0100\r\n";

class FieldResolutionTest : public ExportTest {};

// Each row: one message holding the body "b" plus what the row sets, and
// a line that must appear in a file of its directory. The dump's [final]
// section shows fields before the header corrections of mail.txt.
TEST_F(FieldResolutionTest, SourcesAreTriedInOrder) {
  using Set = std::function<void(pstgen::Message&)>;
  const struct { Set set; const char* file; std::string line; } rows[] = {
      {[](auto& m) { m.set_unicode(0x0C1F, "s@x.org").set_unicode(0x0065, "r@x.org"); },
       "debug_fields.txt", "sender=s@x.org"},
      {[](auto& m) { m.set_unicode(0x0065, "r@x.org").set_unicode(0x0C1A, "N").set_unicode(0x0042, "R"); },
       "debug_fields.txt", "sender=r@x.org"},
      {[](auto& m) { m.set_unicode(0x0C1A, "Achats").set_unicode(0x0042, "R").set_unicode(0x007D, kHeaders); },
       "debug_fields.txt", "sender=Achats"},
      {[](auto& m) { m.set_unicode(0x0042, "Rep"); }, "debug_fields.txt", "sender=Rep"},
      {[](auto& m) { m.set_unicode(0x007D, kHeaders); }, "debug_fields.txt",
       "sender=Header Sender <hs@x.org>\r\nto=Xavier; Yves;\r\ncc=Zoe;\r\npriority=Normale\r\n"
       "subject=Header subject\r\ndate=Tue, 1 Jan 2019 10:00:00 +0100"},
      {[](auto& m) { m.set_unicode(0x0E04, "Alice, Bob"); }, "debug_fields.txt", "to=Alice; Bob;"},
      {[](auto& m) { m.set_unicode(0x007D, kHeaders).set_unicode(0x0E04, "Alice"); },
       "debug_fields.txt", "to=Alice;"},
      {[](auto& m) { m.set_unicode(0x0E03, " Zoe\t\tZed "); }, "debug_fields.txt", "cc=Zoe Zed;"},
      {[](auto& m) { m.set_unicode(0x0037, "\x01\x01 Re:\tHi \r\n"); }, "mail.txt", "#$tit : Re:\tHi"},
      {[](auto& m) { m.set_string8(0x007D, "Subject: from records\r\n"); }, "debug_fields.txt",
       "subject=from records"},
      {[](auto& m) { m.set_filetime(0x3007, 0).set_filetime(0x0E06, 10000000); },
       "debug_fields.txt", "date=1601-01-01 00:00:01"},
      {[](auto& m) { m.set_unicode(0x007D, kHeaders).set_filetime(0x0039, 10000000); },
       "debug_fields.txt", "date=1601-01-01 00:00:01"},
      {[](auto& m) { m.set_unicode(0x1000, "text").set_binary(0x1013, "<p>h</p>"); }, "mail.txt",
       "#$txt : text"},
      {[](auto& m) { m.set_string8(0x1000, "ascii body"); }, "mail.txt", "#$txt : ascii body"},
      {[](auto& m) { m.props().remove(0x1000); m.set_binary(0x1013, "<p>h</p>"); }, "mail.txt",
       "#$txt : <p>h</p>"},
      {[](auto& m) { m.props().remove(0x1000); m.set_unicode(0x1013, "<b>u</b>"); }, "mail.txt",
       "#$txt : <b>u</b>"},
      {[](auto& m) { m.set_unicode(0x1000, std::string("\0abc", 4)).set_binary(0x1013, "\x01").set_unicode(0x0037, "s"); },
       "mail.txt", "#$txt : "},
      {[](auto& m) { m.set_long(0x0017, 2); }, "debug_fields.txt", "priority=Haute"},
      {[](auto& m) { m.set_long(0x0017, 0); }, "debug_fields.txt", "priority=Basse"},
      {[](auto& m) { m.set_string8(0x0017, " 0"); }, "debug_fields.txt", "priority=Basse"},
      {[](auto& m) { m.set_binary(0x0017, std::string("\x02\0\0\0", 4)); }, "debug_fields.txt",
       "priority=Normale"},
      {[](auto& m) { m.set_long(0x3FFD, 1251).set_string8(0x1000, "\xE9t\xE9"); }, "mail.txt",
       "#$txt : \xD0\xB9t\xD0\xB9"},
  };
  int number = 0;
  for (const auto& row : rows) {
    ++number;
    SCOPED_TRACE("row " + std::to_string(number) + ": " + row.line);
    pstgen::Archive archive;
    pstgen::Message& message = archive.root().add_message();
    message.set_unicode(0x001A, "IPM.Note").set_unicode(0x1000, "b");
    row.set(message);
    std::filesystem::remove_all(output_dir());
    ASSERT_EQ(Export(archive).result, 1);
    const std::string text = Read(std::string("Inbox2019_00000001/") + row.file);
    EXPECT_NE(text.find("\r\n" + row.line + "\r\n"), std::string::npos) << text;
  }
}

// When libpff gives no plain-text body, the body is read as entry 0x1000,
// then 0x1013, as they are stored (the record scan would trim them).
TEST_F(FieldResolutionTest, BodyFallsBackToTheBodyEntriesAsStored) {
  AddMail("s").set_string8(0x1000, " text\n").set_unicode(0x1013, "<b>u</b>");
  AddMail("t", "").set_unicode(0x1013, " <b>u</b>");
  for (const char* function :
       {"libpff_message_get_plain_text_body_size", "libpff_message_get_plain_text_body"}) {
    ASSERT_EQ(ExportFailing(function, 0, libpff_faults::Fault::kError).result, 2);
    EXPECT_NE(Read("Inbox2019_00000001/mail.txt").find("\r\n#$txt :  text\n\r\n"), std::string::npos);
    EXPECT_NE(Read("Inbox2019_00000002/mail.txt").find("\r\n#$txt :  <b>u</b>\r\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace quillmar_test
