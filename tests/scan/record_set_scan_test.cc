#include "scan/record_set_scan.h"

#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "fake_libpff/fake_libpff.h"
#include "support/test_bytes.h"

namespace quillmar {
namespace {

using fakepff::Call;
using fakepff::Failure;
using fakepff::Node;

using quillmar_test::utf16;

struct ScanResult {
  std::string dump;
  MessageFields fields;
  std::string audit;
};

ScanResult scan(Node& item, MessageFields fields = MessageFields()) {
  ScanResult result;
  std::ostringstream out;
  {
    fakepff::ScopedItem handle(item);
    scan_record_sets(handle.get(), fields, &out);
  }
  result.dump = out.str();
  result.fields = fields;
  result.audit = fakepff::audit();
  return result;
}

// One record set: importance 1, subject Bonjour, a creation time whose data
// cannot be read.
void add_sample_entries(Node& item) {
  item.add_entry(0, 0x0017, 0x0003, std::string("\x01\0\0\0", 4));
  item.add_entry(0, 0x0037, 0x001F, utf16("Bonjour"));
  item.add_entry(0, 0x3007, 0x0040, std::string(8, '\x10')).fail(Call::kRecordEntryGetData);
}

TEST(RecordSetScan, DumpsEverySetAndEntry) {
  fakepff::Session session;
  fakepff::Archive archive;
  Node& message = archive.root().add_message();
  add_sample_entries(message);
  const ScanResult result = scan(message);
  EXPECT_EQ(result.dump,
            "record_sets=1\r\n"
            "\r\n"
            "[record_set 0] entries=3\r\n"
            "entry=0x0017 value_type=0x0003 size=4 value=1\r\n"
            "entry=0x0037 value_type=0x001f size=14 value=Bonjour\r\n"
            "entry=0x3007 value_type=0x0040 size=0\r\n");
  EXPECT_EQ(result.fields.subject, "Bonjour");
  EXPECT_EQ(result.fields.date, "");
  EXPECT_EQ(result.audit, "");
}

TEST(RecordSetScan, AbsorbsEveryFailureAndReleasesEverything) {
  struct Case {
    const char* name;
    std::function<void(Node&)> inject;
    std::string dump;
  } cases[] = {
      {"set count fails", [](Node& m) { m.fail(Call::kItemGetNumberOfRecordSets); }, ""},
      {"set count fails, no error object",
       [](Node& m) { m.fail(Call::kItemGetNumberOfRecordSets, Failure::kErrorNoObject); }, ""},
      {"set 0 fails", [](Node& m) { m.fail_at(Call::kItemGetRecordSetByIndex, 0); },
       "record_sets=2\r\n"
       "\r\n[record_set 1] entries=1\r\n"
       "entry=0x0e04 value_type=0x001f size=6 value=Bob\r\n"},
      {"set 0 comes back null",
       [](Node& m) { m.fail_at(Call::kItemGetRecordSetByIndex, 0, Failure::kNullObject); },
       "record_sets=2\r\n"
       "\r\n[record_set 1] entries=1\r\n"
       "entry=0x0e04 value_type=0x001f size=6 value=Bob\r\n"},
      {"entry count of set 0 fails",
       [](Node& m) { m.record_set(0).fail(Call::kRecordSetGetNumberOfEntries); },
       "record_sets=2\r\n"
       "\r\n[record_set 1] entries=1\r\n"
       "entry=0x0e04 value_type=0x001f size=6 value=Bob\r\n"},
      {"entry 1 fails", [](Node& m) { m.record_set(0).fail_at(Call::kRecordSetGetEntryByIndex, 1); },
       "record_sets=2\r\n"
       "\r\n[record_set 0] entries=3\r\n"
       "entry=0x0017 value_type=0x0003 size=4 value=1\r\n"
       "entry=0x3007 value_type=0x0040 size=0\r\n"
       "\r\n[record_set 1] entries=1\r\n"
       "entry=0x0e04 value_type=0x001f size=6 value=Bob\r\n"},
      {"data size fails", [](Node& m) {
         m.record_set(0).entry(1).fail(Call::kRecordEntryGetDataSize);
       },
       "record_sets=2\r\n"
       "\r\n[record_set 0] entries=3\r\n"
       "entry=0x0017 value_type=0x0003 size=4 value=1\r\n"
       "entry=0x0037 value_type=0x001f size=0\r\n"
       "entry=0x3007 value_type=0x0040 size=0\r\n"
       "\r\n[record_set 1] entries=1\r\n"
       "entry=0x0e04 value_type=0x001f size=6 value=Bob\r\n"},
      {"types unavailable", [](Node& m) {
         m.record_set(0).entry(0).fail(Call::kRecordEntryGetEntryType)
             .fail(Call::kRecordEntryGetValueType);
       },
       "record_sets=2\r\n"
       "\r\n[record_set 0] entries=3\r\n"
       "entry=0x0000 value_type=0x0000 size=4\r\n"
       "entry=0x0037 value_type=0x001f size=14 value=Bonjour\r\n"
       "entry=0x3007 value_type=0x0040 size=0\r\n"
       "\r\n[record_set 1] entries=1\r\n"
       "entry=0x0e04 value_type=0x001f size=6 value=Bob\r\n"},
  };
  for (const Case& c : cases) {
    fakepff::Session session;
    fakepff::Archive archive;
    Node& message = archive.root().add_message();
    add_sample_entries(message);
    message.add_entry(1, 0x0E04, 0x001F, utf16("Bob"));
    c.inject(message);
    const ScanResult result = scan(message);
    EXPECT_EQ(result.dump, c.dump) << c.name;
    EXPECT_EQ(result.audit, "") << c.name;
  }
}

TEST(RecordSetScan, UnreadableValuesCollectNothing) {
  fakepff::Session session;
  fakepff::Archive archive;
  Node& message = archive.root().add_message();
  message.add_entry(0, 0x0037, 0x001F, utf16("lost")).fail(Call::kRecordEntryGetData);
  message.add_entry(0, 0x0037, 0x001F, utf16("kept"));
  const ScanResult result = scan(message);
  EXPECT_EQ(result.fields.subject, "kept");
}

TEST(RecordSetScan, WritesLongTypesAndMultiLineValuesWhole) {
  fakepff::Session session;
  fakepff::Archive archive;
  Node& message = archive.root().add_message();
  message.add_entry(0, 0x8001F, 0x101F, "");
  message.add_entry(0, 0x007D, 0x001E, "To: a\r\nFrom: b\r\n");
  const ScanResult result = scan(message);
  EXPECT_EQ(result.dump,
            "record_sets=1\r\n\r\n[record_set 0] entries=2\r\n"
            "entry=0x8001f value_type=0x101f size=0\r\n"
            "entry=0x007d value_type=0x001e size=16 value=To: a\r\nFrom: b\r\n\r\n");
  EXPECT_EQ(result.fields.headers, "To: a\r\nFrom: b");
}

TEST(RecordSetScan, WithoutAStreamCollectsTheSameFields) {
  fakepff::Session session;
  fakepff::Archive archive;
  Node& message = archive.root().add_message();
  add_sample_entries(message);
  message.add_entry(0, 0x0E04, 0x001F, utf16("Alice, Bob"));
  MessageFields fields;
  {
    fakepff::ScopedItem item(message);
    scan_record_sets(item.get(), fields, nullptr);
  }
  EXPECT_EQ(fields.subject, "Bonjour");
  EXPECT_EQ(fields.to, "Alice; Bob;");
  EXPECT_EQ(fakepff::audit(), "");
}

MessageFields collected(std::initializer_list<std::pair<uint32_t, std::string>> entries,
                        MessageFields fields = MessageFields()) {
  for (const auto& [type, text] : entries) collect_field(fields, type, text);
  return fields;
}

TEST(CollectField, FirstValueWinsForSingleFields) {
  const MessageFields fields = collected({
      {0x0C1A, "  "},                 // blank: ignored
      {0x0065, " rep@x.org "},        // trimmed, first sender wins
      {0x0C1F, "sender@x.org"},
      {0x0039, "2021-01-01 00:00:00"},
      {0x0E06, "2022-02-02 00:00:00"},
      {0x3007, "2023-03-03 00:00:00"},
      {0x1013, "<html>"},
      {0x1000, "plain"},
      {0x007D, "H: 1"},
      {0x007D, "H: 2"},
      {0x0037, "\tSujet\t"},
      {0x0037, "Autre"},
      {0x3001, "ignored type"},
  });
  EXPECT_EQ(fields.sender, "rep@x.org");
  EXPECT_EQ(fields.date, "2021-01-01 00:00:00");
  EXPECT_EQ(fields.body, "<html>");
  EXPECT_EQ(fields.headers, "H: 1");
  EXPECT_EQ(fields.subject, "Sujet");
  EXPECT_EQ(fields.who, "");
}

TEST(CollectField, KeepsValuesSetBeforeTheScan) {
  MessageFields before;
  before.sender = "direct";
  before.subject = "direct subject";
  const MessageFields fields = collected({{0x0C1F, "record"}, {0x0037, "record"}}, before);
  EXPECT_EQ(fields.sender, "direct");
  EXPECT_EQ(fields.subject, "direct subject");
}

TEST(CollectField, AppendsRecipientListsUnlessContained) {
  MessageFields start;
  start.to = "Alice Martin;";
  const MessageFields fields = collected({
      {0x0E04, "Alice Martin"},
      {0x0E04, "Bob,  Carol"},
      {0x0E03, "Dan\tEve"},
      {0x0E03, "Dan Eve"},
  }, start);
  EXPECT_EQ(fields.to, "Alice Martin;Bob; Carol;");
  EXPECT_EQ(fields.cc, "Dan Eve;");
}

TEST(CollectField, ImportanceReplacesThePriorityWhenItParses) {
  struct Case {
    std::string text;
    std::string expected;  // starting from "Basse"
  } cases[] = {
      {"2", "Haute"},         {"+2", "Haute"},        {"0", "Basse"},
      {"1", "Normale"},       {"-1", "Normale"},      {"2abc", "Haute"},
      {"abc", "Basse"},       {"-", "Basse"},         {"4294967296", "Basse"},
      {"4294967298", "Basse"}, {"-4294967294", "Haute"}, {"00000000002", "Haute"},
      {"+-2", "Basse"},       {"0x2", "Basse"},
  };
  for (const Case& c : cases) {
    MessageFields fields;
    fields.priority = "Basse";
    collect_field(fields, 0x0017, c.text);
    EXPECT_EQ(fields.priority, c.expected) << "text " << c.text;
  }
}

}  // namespace
}  // namespace quillmar
