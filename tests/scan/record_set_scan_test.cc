// The record-set dump of debug_fields.txt: its exact bytes for each value
// type, and what each failing libpff call of the scan leaves out.
#include <string>

#include <gtest/gtest.h>

#include "scan/record_set_scan.h"
#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

using libpff_faults::Fault;

constexpr char kEntries[] =
    "entry=0x0017 value_type=0x0003 size=4 value=1\r\n"
    "entry=0x001a value_type=0x001f size=16 value=IPM.Note\r\n"
    "entry=0x0037 value_type=0x001f size=14 value=Bonjour\r\n"
    "entry=0x0039 value_type=0x0040 size=8 value=1601-01-01 00:00:01\r\n"
    "entry=0x0042 value_type=0x001e size=5 value=Ann\r\n"
    "entry=0x0e1b value_type=0x000b size=1 value=true\r\n"
    "entry=0x0ff9 value_type=0x0102 size=6 value=Hi!\r\n"
    "entry=0x1000 value_type=0x001f size=2 value=b\r\n"
    "entry=0x3007 value_type=0x0040 size=8 value=1601-01-01 00:00:02\r\n"
    "entry=0x300b value_type=0x0102 size=2\r\n";

// The dump's exact bytes, then what each failing call of the scans leaves out.
TEST_F(ExportTest, RecordSetDumpAndWhatEachFailureLeavesOut) {
  archive_.root().add_message()
      .set_long(0x0017, 1)
      .set_unicode(0x001A, "IPM.Note")
      .set_unicode(0x0037, "Bonjour")
      .set_filetime(0x0039, 10000000)
      .set_bool(0x0E1B, true)
      .set_binary(0x0FF9, std::string("H\0i\0!\0", 6))
      .set_binary(0x300B, "\x01\x02")
      .set_unicode(0x1000, "b")
      .set_filetime(0x3007, 20000000)
      .set_string8(0x0042, std::string("Ann\0\0", 5));
  const std::string head = "archive=Inbox2019\r\nrecord_sets=1\r\n";
  const std::string set = head + "\r\n[record_set 0] entries=10\r\n";
  const std::string entries = kEntries;
  const std::string tail = "\r\nsub_items=0\r\n\r\n[final]";
  const std::string final_section = "\r\nwho=Inbox2019\r\nsender=Ann\r\nto=\r\ncc=\r\n"
      "priority=Normale\r\nsubject=Bonjour\r\ndate=1601-01-01 00:00:01\r\nheaders_size=0\r\n";
  const struct { const char* function; int nth; Fault fault; std::string dump; } rows[] = {
      {"", 0, Fault::kError, set + entries + tail + final_section},
      {"libpff_item_get_number_of_record_sets", 1, Fault::kError, "archive=Inbox2019\r\n" + tail},
      {"libpff_item_get_record_set_by_index", 1, Fault::kError, head + tail},
      {"libpff_item_get_record_set_by_index", 1, Fault::kNullObject, head + tail},
      {"libpff_record_set_get_number_of_entries", 1, Fault::kError, head + tail},
      {"libpff_record_set_get_entry_by_index", 2, Fault::kError,
       set + entries.substr(0, 47) + entries.substr(102) + tail},
      {"libpff_record_entry_get_data", 2, Fault::kError,
       set + entries.substr(0, 47) + "entry=0x001a value_type=0x001f size=0\r\n" +
           entries.substr(102) + tail},
      {"libpff_record_entry_get_entry_type", 1, Fault::kError,
       set + "entry=0x0000 value_type=0x0003 size=4 value=1\r\n" + entries.substr(47) + tail},
      // Recipients libpff cannot give leave no section.
      {"libpff_message_get_recipients", 1, Fault::kError, set + entries + "\r\n[final]"},
      {"libpff_message_get_recipients", 1, Fault::kNullObject, set + entries + "\r\n[final]"},
      {"libpff_item_get_number_of_record_sets", 2, Fault::kError, set + entries + "\r\n[final]"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.function) + " #" + std::to_string(row.nth));
    const RunOutput run = ExportFailing(row.function, row.nth, row.fault);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.err, "");
    const std::string dump = Read("Inbox2019_00000001/debug_fields.txt");
    EXPECT_EQ(row.function[0] ? dump.substr(0, dump.find("\r\n[final]") + 9) : dump, row.dump);
  }
}

// Importance text is read as strtoul reads base 10; a number replaces the
// priority (2 high, 0 low, any other normal), other text leaves it.
TEST(CollectField, ImportanceReplacesThePriorityWhenItParses) {
  const struct { std::string text; int64_t value; const char* priority; } rows[] = {
      {"2", 2, "Haute"}, {"\t+2x", 2, "Haute"}, {"00000000002", 2, "Haute"},
      {"-4294967294", 2, "Haute"}, {"0x2", 0, "Basse"}, {"1", 1, "Normale"}, {"3", 3, "Normale"},
      {"-1", 4294967295, "Normale"}, {"4294967295", 4294967295, "Normale"},
      {"4294967296", -1, "kept"}, {"+-2", -1, "kept"}, {"- 2", -1, "kept"},
  };
  for (const auto& row : rows) {
    const std::optional<uint32_t> value = quillmar::parse_importance(row.text);
    EXPECT_EQ(value ? int64_t{*value} : -1, row.value) << "[" << row.text << "]";
    quillmar::MessageFields fields;
    fields.priority = "kept";
    quillmar::collect_field(fields, 0x0017, row.text);
    EXPECT_EQ(fields.priority, row.priority) << "[" << row.text << "]";
  }
}

}  // namespace
}  // namespace quillmar_test
