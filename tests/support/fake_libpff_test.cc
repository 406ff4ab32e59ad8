// Tests of the in-memory libpff itself: accounting, failure injection, and the
// behaviours of the real libpff 20180714 that it mirrors.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fake_libpff/fake_libpff.h"

namespace {

using fakepff::Call;
using fakepff::Failure;
using fakepff::Node;

// What libpff_error_fprint writes for `error`.
std::string printed(libpff_error_t* error) {
  FILE* stream = std::tmpfile();
  libpff_error_fprint(error, stream);
  std::rewind(stream);
  std::string text;
  for (int c; (c = std::fgetc(stream)) != EOF;) text += static_cast<char>(c);
  std::fclose(stream);
  return text;
}

class FakeLibpffTest : public ::testing::Test {
 protected:
  fakepff::Session session_;
  fakepff::Archive archive_;
};

TEST_F(FakeLibpffTest, AccountingNamesLeaksAndRecordsMisuseWithoutCrashing) {
  Node& inbox = archive_.root().add_folder();
  inbox.add_message();
  fakepff::ScopedItem folder(inbox);
  libpff_item_t* message = nullptr;
  ASSERT_EQ(libpff_folder_get_sub_message(folder.get(), 0, &message, nullptr), 1);
  EXPECT_EQ(fakepff::leaks(),
            std::vector<std::string>({"item root/folder 0 (from fakepff::open_item)",
                                      "item root/folder 0/message 0 (from "
                                      "libpff_folder_get_sub_message)"}));

  libpff_item_t* copy = message;
  EXPECT_EQ(libpff_item_free(&message, nullptr), 1);
  EXPECT_EQ(message, nullptr);
  EXPECT_EQ(libpff_item_free(&copy, nullptr), -1);  // double free
  int count = 0;
  libpff_item_t* stale = reinterpret_cast<libpff_item_t*>(&count);
  EXPECT_EQ(libpff_item_free(&stale, nullptr), -1);  // never handed out
  libpff_item_t* again = nullptr;
  ASSERT_EQ(libpff_folder_get_sub_message(folder.get(), 0, &again, nullptr), 1);
  EXPECT_EQ(libpff_folder_get_sub_message(folder.get(), 0, &again, nullptr), -1);  // not null
  libpff_item_free(&again, nullptr);

  EXPECT_EQ(fakepff::faults(),
            std::vector<std::string>(
                {"libpff_item_free: double free of item root/folder 0/message 0 (from "
                 "libpff_folder_get_sub_message)",
                 "libpff_item_free: free of a pointer never handed out (item)",
                 "libpff_folder_get_sub_message: sub message out-parameter not null on entry"}));
  EXPECT_EQ(fakepff::leaks(), std::vector<std::string>{"item root/folder 0 (from fakepff::open_item)"});
}

TEST_F(FakeLibpffTest, UseOfFreedItemIsAFaultAndAnError) {
  libpff_item_t* item = fakepff::open_item(archive_.root());
  libpff_item_t* kept = item;
  libpff_item_free(&item, nullptr);
  int count = -1;
  libpff_error_t* error = nullptr;
  EXPECT_EQ(libpff_folder_get_number_of_sub_messages(kept, &count, &error), -1);
  EXPECT_EQ(printed(error), "libpff: libpff_folder_get_number_of_sub_messages: invalid item.\n");
  libpff_error_free(&error);
  EXPECT_EQ(error, nullptr);
  ASSERT_EQ(fakepff::faults().size(), 1u);
  EXPECT_EQ(fakepff::faults()[0],
            "libpff_folder_get_number_of_sub_messages: use of freed item root (from "
            "fakepff::open_item)");
}

TEST_F(FakeLibpffTest, ErrorsAreAccountedAndASecondFailureAppendsToThePendingOne) {
  Node& folder = archive_.root();
  folder.fail(Call::kFolderGetNumberOfSubFolders).fail(Call::kFolderGetNumberOfSubMessages);
  fakepff::ScopedItem item(folder);
  libpff_error_t* error = nullptr;
  int count = 0;
  libpff_folder_get_number_of_sub_folders(item.get(), &count, &error);
  libpff_error_t* first = error;
  libpff_folder_get_number_of_sub_messages(item.get(), &count, &error);
  EXPECT_EQ(error, first) << "no second error object";
  // libcerror prints the most recent message only.
  EXPECT_EQ(printed(error), "libpff: libpff_folder_get_number_of_sub_messages: injected failure\n");
  EXPECT_EQ(fakepff::leaks().size(), 2u) << fakepff::audit();
  libpff_error_free(&error);
  libpff_error_free(&error);  // null again: nothing to do
  EXPECT_EQ(fakepff::leaks().size(), 1u) << "only the ScopedItem's item";
  EXPECT_TRUE(fakepff::faults().empty()) << fakepff::audit();
}

// One row: a rule, then a call on a folder holding messages 0..2; the
// expected result for each index and whether an item / error came back.
struct InjectionRow {
  const char* name;
  Failure how;
  int64_t at;
  int results[3];
  bool items[3];
  bool errors[3];
};

TEST_F(FakeLibpffTest, InjectedFailuresAnswerPerIndex) {
  const InjectionRow rows[] = {
      {"error at 1", Failure::kError, 1, {1, -1, 1}, {true, false, true}, {false, true, false}},
      {"no error object", Failure::kErrorNoObject, 2, {1, 1, -1}, {true, true, false}, {false, false, false}},
      {"null object", Failure::kNullObject, 0, {1, 1, 1}, {false, true, true}, {false, false, false}},
      {"every index", Failure::kError, fakepff::kAnyCall, {-1, -1, -1}, {false, false, false}, {true, true, true}},
  };
  for (const InjectionRow& row : rows) {
    fakepff::Session session;
    fakepff::Archive archive;
    Node& folder = archive.root().add_folder();
    for (int i = 0; i < 3; ++i) folder.add_message();
    folder.fail_at(Call::kFolderGetSubMessage, row.at, row.how);
    {
      fakepff::ScopedItem item(folder);
      for (int i = 0; i < 3; ++i) {
        libpff_item_t* message = nullptr;
        libpff_error_t* error = nullptr;
        EXPECT_EQ(libpff_folder_get_sub_message(item.get(), i, &message, &error), row.results[i])
            << row.name << " index " << i;
        EXPECT_EQ(message != nullptr, row.items[i]) << row.name << " index " << i;
        EXPECT_EQ(error != nullptr, row.errors[i]) << row.name << " index " << i;
        libpff_item_free(&message, nullptr);
        libpff_error_free(&error);
      }
    }
    EXPECT_EQ(fakepff::audit(), "") << row.name;
  }
}

TEST_F(FakeLibpffTest, InjectedFailuresReachEntriesCountsReadsAndInitialize) {
  Node& message = archive_.root().add_message();
  message.set_u32(0x0017, 1).set_unicode(0x0037, "Bonjour").set_filetime(0x3007, 1);
  message.record_set(0).entry(2).fail(Call::kRecordEntryGetData);
  message.fail(Call::kItemGetNumberOfSubItems, Failure::kErrorNoObject);
  Node& attachment = message.add_attachment(std::string(10, 'x'));
  attachment.fail_at(Call::kAttachmentDataReadBuffer, 1);
  fakepff::ScopedItem item(message);
  fakepff::ScopedItem file_item(attachment);

  libpff_record_set_t* set = nullptr;
  ASSERT_EQ(libpff_item_get_record_set_by_index(item.get(), 0, &set, nullptr), 1);
  std::vector<int> data_results;
  for (int j = 0; j < 3; ++j) {
    libpff_record_entry_t* entry = nullptr;
    ASSERT_EQ(libpff_record_set_get_entry_by_index(set, j, &entry, nullptr), 1);
    uint8_t buffer[16] = {};
    data_results.push_back(libpff_record_entry_get_data(entry, buffer, sizeof buffer, nullptr));
    libpff_record_entry_free(&entry, nullptr);
  }
  libpff_record_set_free(&set, nullptr);
  EXPECT_EQ(data_results, std::vector<int>({1, 1, -1}));

  int count = 7;
  libpff_error_t* error = nullptr;
  EXPECT_EQ(libpff_item_get_number_of_sub_items(item.get(), &count, &error), -1);
  EXPECT_EQ(error, nullptr);

  uint8_t buffer[4];
  std::vector<long> reads;
  for (int i = 0; i < 4; ++i) reads.push_back(libpff_attachment_data_read_buffer(file_item.get(), buffer, 4, &error));
  EXPECT_EQ(reads, std::vector<long>({4, -1, 4, 2})) << "the 2nd read fails and moves nothing";
  libpff_error_free(&error);

  fakepff::fail(Call::kFileInitialize);
  libpff_file_t* file = nullptr;
  EXPECT_EQ(libpff_file_initialize(&file, &error), -1);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(printed(error), "libpff: libpff_file_initialize: injected failure\n");
  libpff_error_free(&error);
  EXPECT_EQ(fakepff::faults(), std::vector<std::string>{});
}

// Entry-value reads, as measured on the real libpff.
struct ValueRow {
  const char* name;
  uint32_t entry_type;
  uint8_t flags;
  int record_set;
  int utf8_result;  // of ..._utf8_string_size
  size_t utf8_size;
  int u32_result;   // of ..._32bit
  uint32_t u32_value;
  const char* error;  // printed error of the UTF-8 size read, or ""
};

TEST_F(FakeLibpffTest, EntryValueReadsMirrorTheRealLibrary) {
  Node& item = archive_.root().add_message();
  item.set_unicode(0x0037, "Été");                                      // 3 chars, 5 UTF-8 bytes
  item.add_entry(0, 0x001A, fakepff::kValueUnicode, std::string("I\0P\0M\0\0\0", 8));
  item.set_string8(0x0E04, "caf\xE9 \x80");                             // Windows-1252
  item.set_u32(0x0017, 2).set_binary(0x35E0, std::string(24, '\1'));
  item.set_bool(0x0E1B, true).set_u16(0x4000, 5);
  item.set_unicode(0x8005, "named").set_u32(0x8006, 9);
  const ValueRow rows[] = {
      {"unicode", 0x0037, 0, 0, 1, 6, 0, 0, ""},
      {"unicode, flag 2", 0x0037, 2, 0, 1, 6, 0, 0, ""},
      {"flag 1 rejected", 0x0037, 1, 0, -1, 0, -1, 0,
       "libpff: libpff_item_get_entry_value_utf8_string_size: unsupported flags: 0x01.\n"},
      {"flag 3 rejected", 0x0017, 3, 0, -1, 0, -1, 0,
       "libpff: libpff_item_get_entry_value_utf8_string_size: unsupported flags: 0x03.\n"},
      {"stored terminator counts once", 0x001A, 0, 0, 1, 4, 0, 0, ""},
      {"8-bit string from cp1252", 0x0E04, 0, 0, 1, 10, 0, 0, ""},
      {"32-bit integer", 0x0017, 0, 0, -1, 0, 1, 2,
       "libpff: libpff_item_get_entry_value_utf8_string_size: unsupported value type: 0x0003.\n"},
      {"binary", 0x35E0, 0, 0, -1, 0, 0, 0,
       "libpff: libpff_item_get_entry_value_utf8_string_size: unsupported value type: 0x0102.\n"},
      {"boolean", 0x0E1B, 0, 0, -1, 0, 0, 0,
       "libpff: libpff_item_get_entry_value_utf8_string_size: unsupported value type: 0x000b.\n"},
      {"16-bit integer", 0x4000, 0, 0, -1, 0, 0, 0,
       "libpff: libpff_item_get_entry_value_utf8_string_size: unsupported value type: 0x0002.\n"},
      {"absent", 0x0042, 0, 0, 0, 0, 0, 0, ""},
      {"named, flag 0", 0x8005, 0, 0, 0, 0, 0, 0, ""},
      {"named, flag 2", 0x8005, 2, 0, 1, 6, 0, 0, ""},
      {"named 32-bit, flag 2", 0x8006, 2, 0, -1, 0, 1, 9,
       "libpff: libpff_item_get_entry_value_utf8_string_size: unsupported value type: 0x0003.\n"},
      {"absent record set", 0x0037, 0, 7, -1, 0, -1, 0,
       "libpff: libpff_item_get_entry_value_utf8_string_size: unable to retrieve record entry.\n"},
  };
  fakepff::ScopedItem handle(item);
  for (const ValueRow& row : rows) {
    size_t size = 0;
    libpff_error_t* error = nullptr;
    EXPECT_EQ(libpff_item_get_entry_value_utf8_string_size(handle.get(), row.record_set, row.entry_type,
                                                           &size, row.flags, &error),
              row.utf8_result)
        << row.name;
    EXPECT_EQ(size, row.utf8_size) << row.name;
    EXPECT_EQ(error == nullptr ? "" : printed(error), row.error) << row.name;
    libpff_error_free(&error);
    uint32_t value = 0;
    EXPECT_EQ(libpff_item_get_entry_value_32bit(handle.get(), row.record_set, row.entry_type, &value,
                                                row.flags, &error),
              row.u32_result)
        << row.name;
    EXPECT_EQ(value, row.u32_value) << row.name;
    libpff_error_free(&error);
  }
  EXPECT_EQ(fakepff::calls(Call::kItemGetEntryValue32bit).at(2).args,
            std::vector<int64_t>({0, 0x0037, 1}))
      << "record set, entry type and flags are logged";
}

TEST_F(FakeLibpffTest, ValueReadsNeedTheWholeSizeAndGiveBytesWithTerminator) {
  Node& item = archive_.root().add_message();
  item.set_unicode(0x0037, "abc").set_plain_text_body("body").set_html_body("<p>");
  item.set_binary(0x0FFF, "12345");
  fakepff::ScopedItem handle(item);
  struct Row {
    const char* name;
    size_t given;
    int result;
    std::string bytes;  // the first 5 bytes of a buffer filled with '#'
  };
  const Row utf8_rows[] = {{"too small", 3, -1, "#####"}, {"exact", 4, 1, std::string("abc\0#", 5)},
                           {"larger", 5, 1, std::string("abc\0#", 5)}};
  for (const Row& row : utf8_rows) {
    std::string buffer(8, '#');
    EXPECT_EQ(libpff_item_get_entry_value_utf8_string(handle.get(), 0, 0x0037,
                                                      reinterpret_cast<uint8_t*>(&buffer[0]), row.given,
                                                      0, nullptr),
              row.result)
        << row.name;
    EXPECT_EQ(buffer.substr(0, 5), row.bytes) << row.name;
  }
  const Row body_rows[] = {{"too small", 4, -1, "#####"}, {"exact", 5, 1, std::string("body\0", 5)}};
  for (const Row& row : body_rows) {
    std::string buffer(8, '#');
    EXPECT_EQ(libpff_message_get_plain_text_body(handle.get(), reinterpret_cast<uint8_t*>(&buffer[0]),
                                                 row.given, nullptr),
              row.result)
        << row.name;
    EXPECT_EQ(buffer.substr(0, 5), row.bytes) << row.name;
  }
  size_t size = 0;
  EXPECT_EQ(libpff_message_get_html_body_size(handle.get(), &size, nullptr), 1);
  EXPECT_EQ(size, 4u);
  uint8_t html[3];
  EXPECT_EQ(libpff_message_get_html_body(handle.get(), html, 3, nullptr), 1)
      << "libpff accepts a buffer one byte short";
  EXPECT_EQ(fakepff::faults().size(), 1u) << "but writes past it, so the fake flags it";

  libpff_record_set_t* set = nullptr;
  libpff_record_entry_t* entry = nullptr;
  ASSERT_EQ(libpff_item_get_record_set_by_index(handle.get(), 0, &set, nullptr), 1);
  ASSERT_EQ(libpff_record_set_get_entry_by_index(set, 1, &entry, nullptr), 1);
  uint8_t data[8];
  EXPECT_EQ(libpff_record_entry_get_data(entry, data, 4, nullptr), -1);
  EXPECT_EQ(libpff_record_entry_get_data(entry, data, 8, nullptr), 1);
  libpff_record_entry_free(&entry, nullptr);
  libpff_record_set_free(&set, nullptr);
}

TEST_F(FakeLibpffTest, AbsentBodyIsNotAvailableAndLeavesTheSize) {
  Node& message = archive_.root().add_message();
  fakepff::ScopedItem handle(message);
  size_t size = 99;
  libpff_error_t* error = nullptr;
  EXPECT_EQ(libpff_message_get_plain_text_body_size(handle.get(), &size, &error), 0);
  EXPECT_EQ(libpff_message_get_html_body_size(handle.get(), &size, &error), 0);
  EXPECT_EQ(size, 99u);
  EXPECT_EQ(error, nullptr);
}

TEST_F(FakeLibpffTest, AttachmentDataSeeksAndReadsPerItemAndIsLogged) {
  Node& attachment = archive_.root().add_message().add_attachment("0123456789");
  fakepff::ScopedItem first(attachment);
  fakepff::ScopedItem second(attachment);
  uint8_t buffer[8];
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), 6, SEEK_SET, nullptr), 6);
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), 2, SEEK_CUR, nullptr), 8);
  EXPECT_EQ(libpff_attachment_data_read_buffer(first.get(), buffer, 8, nullptr), 2);
  EXPECT_EQ(libpff_attachment_data_read_buffer(first.get(), buffer, 8, nullptr), 0);
  EXPECT_EQ(libpff_attachment_data_read_buffer(second.get(), buffer, 3, nullptr), 3)
      << "each item handed out has its own offset";
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), -4, SEEK_END, nullptr), 6);
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), 20, SEEK_SET, nullptr), 20);
  EXPECT_EQ(libpff_attachment_data_read_buffer(first.get(), buffer, 8, nullptr), 0);
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), -1, SEEK_SET, nullptr), -1);
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), 0, 7, nullptr), -1);
  EXPECT_EQ(fakepff::read_sizes(attachment), std::vector<int64_t>({8, 8, 3, 8}));
  EXPECT_EQ(fakepff::seek_offsets(attachment), std::vector<int64_t>({6, 2, -4, 20, -1, 0}));
}

TEST_F(FakeLibpffTest, RegisteredPathOpensItsArchiveAndIdentifiersFindAnyItem) {
  Node& nested = archive_.root().add_folder().add_folder().set_identifier(8226);
  archive_.root().add_folder().add_message().set_identifier(2097188);
  fakepff::ArchiveRegistration registration("/data/a.pst", archive_);
  struct Row {
    const char* path;
    int result;
    const char* error;
  };
  const Row rows[] = {{"/data/a.pst", 1, ""},
                      {"/data/b.pst", -1, "libpff: libpff_file_open: unable to open file: /data/b.pst.\n"}};
  for (const Row& row : rows) {
    libpff_file_t* file = nullptr;
    libpff_error_t* error = nullptr;
    ASSERT_EQ(libpff_file_initialize(&file, &error), 1);
    EXPECT_EQ(libpff_file_open(file, row.path, libpff_get_access_flags_read(), &error), row.result) << row.path;
    EXPECT_EQ(error == nullptr ? "" : printed(error), row.error) << row.path;
    libpff_error_free(&error);
    if (row.result == 1) {
      libpff_item_t* item = nullptr;
      EXPECT_EQ(libpff_file_get_item_by_identifier(file, 8226, &item, &error), 1);
      libpff_item_free(&item, nullptr);
      EXPECT_EQ(libpff_file_get_item_by_identifier(file, 2097188, &item, &error), 1);
      libpff_item_free(&item, nullptr);
      EXPECT_EQ(libpff_file_get_item_by_identifier(file, 5, &item, &error), 0);
      EXPECT_EQ(error, nullptr);
      EXPECT_EQ(libpff_file_close(file, nullptr), 0);
    }
    libpff_file_free(&file, nullptr);
  }
  EXPECT_EQ(fakepff::calls(Call::kFileGetItemByIdentifier).at(0).object, &archive_);
  (void)nested;
  EXPECT_EQ(fakepff::audit(), "");
}

TEST_F(FakeLibpffTest, ReportedCountsOverrideChildrenAndIdentifiersAreUnique) {
  Node& folder = archive_.root().add_folder();
  folder.add_message();
  folder.report(Call::kFolderGetNumberOfSubMessages, 3);
  Node& looped = folder.add_folder().set_identifier(7);
  fakepff::ScopedItem handle(folder);
  int count = 0;
  EXPECT_EQ(libpff_folder_get_number_of_sub_messages(handle.get(), &count, nullptr), 1);
  EXPECT_EQ(count, 3);
  libpff_item_t* message = nullptr;
  libpff_error_t* error = nullptr;
  EXPECT_EQ(libpff_folder_get_sub_message(handle.get(), 1, &message, &error), -1);
  EXPECT_EQ(printed(error),
            "libpff: libpff_folder_get_sub_message: invalid sub message index value out of bounds.\n");
  libpff_error_free(&error);

  struct Row {
    Node* node;
    uint32_t identifier;
  };
  const Row rows[] = {{&archive_.root(), 0x10000000},
                      {&archive_.message_store(), 0x10000001},
                      {&folder, 0x10000002},
                      {folder.messages()[0].get(), 0x10000003},
                      {&looped, 7}};
  for (const Row& row : rows) {
    fakepff::ScopedItem item(*row.node);
    uint32_t identifier = 0;
    EXPECT_EQ(libpff_item_get_identifier(item.get(), &identifier, nullptr), 1) << row.node->label();
    EXPECT_EQ(identifier, row.identifier) << row.node->label();
  }
}

TEST_F(FakeLibpffTest, CallLogStartsEmptyForEachSession) {
  EXPECT_TRUE(fakepff::calls().empty());
  libpff_get_version();
  EXPECT_EQ(fakepff::calls().size(), 1u);
  EXPECT_STREQ(libpff_get_version(), "20180714");
}

TEST_F(FakeLibpffTest, TwoThreadsCanUseTheFakeAtOnce) {
  Node& message = archive_.root().add_message().set_unicode(0x0037, "x");
  auto reader = [&message] {
    for (int i = 0; i < 500; ++i) {
      fakepff::ScopedItem item(message);
      size_t size = 0;
      libpff_item_get_entry_value_utf8_string_size(item.get(), 0, 0x0037, &size, 0, nullptr);
    }
  };
  std::thread one(reader), two(reader);
  one.join();
  two.join();
  EXPECT_EQ(fakepff::calls(Call::kItemGetEntryValueUtf8StringSize).size(), 1000u);
  EXPECT_EQ(fakepff::audit(), "");
}

}  // namespace
