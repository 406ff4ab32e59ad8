#include "fields/field_resolution.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "fake_libpff/fake_libpff.h"
#include "support/test_bytes.h"
#include "support/export_fixture.h"

namespace quillmar {
namespace {

using fakepff::Call;
using fakepff::Node;

using quillmar_test::utf16;

struct Resolved {
  MessageFields fields;
  std::string dump;
};

Resolved resolve(Node& message, const std::string& archive_name = "Archive") {
  std::ostringstream dump;
  Resolved resolved;
  {
    fakepff::ScopedItem item(message);
    resolved.fields = resolve_message_fields(item.get(), archive_name, dump);
  }
  resolved.dump = dump.str();
  EXPECT_EQ(fakepff::audit(), "");
  return resolved;
}

TEST(FieldResolution, DumpOfAMessageWithImportanceAndSubject) {
  fakepff::Session session;
  fakepff::Archive archive;
  Node& message = archive.root().add_message();
  message.set_u32(0x0017, 1).set_unicode(0x0037, "Bonjour");
  const Resolved resolved = resolve(message);
  EXPECT_EQ(resolved.dump,
            "archive=Archive\r\n"
            "record_sets=1\r\n"
            "\r\n"
            "[record_set 0] entries=2\r\n"
            "entry=0x0017 value_type=0x0003 size=4 value=1\r\n"
            "entry=0x0037 value_type=0x001f size=14 value=Bonjour\r\n"
            "\r\n"
            "sub_items=0\r\n"
            "\r\n"
            "[final]\r\n"
            "who=Archive\r\n"
            "sender=\r\n"
            "to=\r\n"
            "cc=\r\n"
            "priority=Normale\r\n"
            "subject=Bonjour\r\n"
            "date=\r\n"
            "headers_size=0\r\n");
}

TEST(FieldResolution, EmptyMessageGetsDefaults) {
  fakepff::Session session;
  fakepff::Archive archive;
  Node& message = archive.root().add_message();
  const Resolved resolved = resolve(message, "x");
  EXPECT_EQ(resolved.dump,
            "archive=x\r\nrecord_sets=0\r\n\r\nsub_items=0\r\n\r\n[final]\r\nwho=x\r\n"
            "sender=\r\nto=\r\ncc=\r\npriority=Normale\r\nsubject=\r\ndate=\r\n"
            "headers_size=0\r\n");
  EXPECT_EQ(resolved.fields.subject, "(sans sujet)");
  EXPECT_EQ(resolved.fields.who, "x");
}

// Each case builds a message, then checks one field of the returned record.
struct PrecedenceCase {
  const char* name;
  std::function<void(Node&)> setup;
  std::string MessageFields::*field;
  std::string expected;
};

TEST(FieldResolution, SourcesAreTriedInOrder) {
  const std::string headers =
      "From: Header Sender <hs@x.org>\r\nTo: Xavier, Yves\r\nCc: Zoe\r\n"
      "Subject: Header subject\r\nDate: Tue, 1 Jan 2019 10:00:00 +0100\r\n";
  const PrecedenceCase cases[] = {
      {"sender email first", [](Node& m) {
         m.set_unicode(0x0C1F, "s@x.org").set_unicode(0x0065, "r@x.org");
       }, &MessageFields::sender, "s@x.org"},
      {"sender name after emails", [&](Node& m) {
         m.set_unicode(0x0C1A, "Service Achats").set_unicode(0x0042, "Rep")
             .set_unicode(0x007D, headers);
       }, &MessageFields::sender, "Service Achats"},
      {"sent-representing name last of the direct reads", [](Node& m) {
         m.set_unicode(0x0042, "Rep");
       }, &MessageFields::sender, "Rep"},
      {"record entry of a later record set", [](Node& m) {
         m.add_entry(1, 0x0C1F, 0x001F, utf16("rec@x.org"));
       }, &MessageFields::sender, "rec@x.org"},
      {"From header when nothing else", [&](Node& m) { m.set_unicode(0x007D, headers); },
       &MessageFields::sender, "Header Sender <hs@x.org>"},
      {"display To normalized", [](Node& m) { m.set_unicode(0x0E04, "Alice, Bob"); },
       &MessageFields::to, "Alice; Bob;"},
      {"recipients appended to display To", [](Node& m) {
         m.set_unicode(0x0E04, "Alice, Bob");
         m.add_sub_item().set_unicode(0x3001, "Alice").set_u32(0x0C15, 1);
         m.add_sub_item().set_unicode(0x3001, "Carol").set_u32(0x0C15, 1);
         m.add_sub_item().set_unicode(0x3001, "Dan").set_u32(0x0C15, 2);
       }, &MessageFields::to, "Alice; Bob;Carol;"},
      {"To header only when still empty", [&](Node& m) { m.set_unicode(0x007D, headers); },
       &MessageFields::to, "Xavier; Yves;"},
      {"To header ignored when To is known", [&](Node& m) {
         m.set_unicode(0x007D, headers).set_unicode(0x0E04, "Alice");
       }, &MessageFields::to, "Alice;"},
      {"Cc from recipients of type 2", [](Node& m) {
         m.add_sub_item().set_unicode(0x3001, "Dan").set_u32(0x0C15, 2);
       }, &MessageFields::cc, "Dan;"},
      {"Cc header", [&](Node& m) { m.set_unicode(0x007D, headers); }, &MessageFields::cc, "Zoe;"},
      {"subject cleaned", [](Node& m) { m.set_unicode(0x0037, "\x01\x01 Re:\tHi \r\n"); },
       &MessageFields::subject, "Re:\tHi"},
      {"Subject header", [&](Node& m) { m.set_unicode(0x007D, headers); },
       &MessageFields::subject, "Header subject"},
      {"first time entry", [](Node& m) {
         m.set_filetime(0x3007, 0).set_filetime(0x0E06, 10000000);
       }, &MessageFields::date, "1601-01-01 00:00:00"},
      {"Date header verbatim", [&](Node& m) { m.set_unicode(0x007D, headers); },
       &MessageFields::date, "Tue, 1 Jan 2019 10:00:00 +0100"},
      {"record time beats Date header", [&](Node& m) {
         m.set_unicode(0x007D, headers).set_filetime(0x0039, 10000000);
       }, &MessageFields::date, "1601-01-01 00:00:01"},
      {"plain body", [](Node& m) { m.set_plain_text_body("text"); }, &MessageFields::body, "text"},
      {"body record when readers find none", [](Node& m) {
         m.add_entry(1, 0x1000, 0x001E, "plain ascii body");
       }, &MessageFields::body, "plain ascii body"},
      {"record headers fill the header fallbacks", [](Node& m) {
         m.add_entry(1, 0x007D, 0x001E, "Subject: from records\r\n");
       }, &MessageFields::subject, "from records"},
      {"importance read directly", [](Node& m) { m.set_u32(0x0017, 2); },
       &MessageFields::priority, "Haute"},
      {"importance record replaces the direct read", [](Node& m) {
         m.set_u32(0x0017, 2);
         m.add_entry(1, 0x0017, 0x001E, "0");
       }, &MessageFields::priority, "Basse"},
      {"unparsable importance record keeps it", [](Node& m) {
         m.set_u32(0x0017, 0);
         m.add_entry(1, 0x0017, 0x001E, "junk");
       }, &MessageFields::priority, "Basse"},
  };
  setenv("TZ", "UTC0", 1);
  tzset();
  for (const PrecedenceCase& c : cases) {
    fakepff::Session session;
    fakepff::Archive archive;
    Node& message = archive.root().add_message();
    c.setup(message);
    const Resolved resolved = resolve(message);
    EXPECT_EQ(resolved.fields.*c.field, c.expected) << c.name;
  }
}

TEST(FieldResolution, DumpShowsFieldsBeforeSubjectCleanup) {
  fakepff::Session session;
  fakepff::Archive archive;
  Node& message = archive.root().add_message();
  message.set_unicode(0x0037, "Hi\t ").set_unicode(0x007D, "X: y\r\n");
  const Resolved resolved = resolve(message);
  EXPECT_NE(resolved.dump.find("\r\nsubject=Hi\t \r\n"), std::string::npos);
  EXPECT_NE(resolved.dump.find("\r\nheaders_size=6\r\n"), std::string::npos);
  EXPECT_EQ(resolved.fields.subject, "Hi");
}

class DumpFileTest : public quillmar_test::ExportTest {};

TEST_F(DumpFileTest, UnwritableDirectoryGivesTheSameRecordAndNoFile) {
  Node& message = archive_.root().add_message();
  message.set_unicode(0x0037, "S").set_unicode(0x0E04, "Alice");
  message.add_sub_item().set_unicode(0x3001, "Bob");
  const std::filesystem::path writable = work() / "w";
  const std::filesystem::path missing = work() / "missing" / "dir";
  std::filesystem::create_directories(writable);
  std::filesystem::path existing_dump = writable / "debug_fields.txt";
  std::ofstream(existing_dump) << "an earlier run's much longer dump";

  fakepff::ScopedItem item(message);
  const MessageFields written = dump_debug_fields(item.get(), "A", writable);
  const MessageFields unwritten = dump_debug_fields(item.get(), "A", missing);
  EXPECT_EQ(written.to, "Alice;Bob;");
  EXPECT_EQ(unwritten.to, written.to);
  EXPECT_EQ(unwritten.subject, written.subject);
  EXPECT_FALSE(std::filesystem::exists(missing));
  std::ifstream in(existing_dump, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text.rfind("archive=A\r\n", 0), 0u) << "the earlier file is replaced whole";
}

}  // namespace
}  // namespace quillmar
