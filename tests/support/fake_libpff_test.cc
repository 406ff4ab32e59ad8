// Tests of the in-memory libpff itself: what every other test relies on (its
// accounting and its failure injection) and the behaviours of the real
// libpff 20180714 that it mirrors.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_libpff/fake_libpff.h"

namespace {

using fakepff::Call;
using fakepff::Failure;
using fakepff::Node;
using Texts = std::vector<std::string>;

// What libpff_error_fprint writes for *error ("" for none), which is then
// freed.
std::string Taken(libpff_error_t** error) {
  FILE* stream = std::tmpfile();
  libpff_error_fprint(*error, stream);
  std::rewind(stream);
  std::string text;
  for (int c; (c = std::fgetc(stream)) != EOF;) text += static_cast<char>(c);
  std::fclose(stream);
  libpff_error_free(error);
  return text;
}

class FakeLibpffTest : public ::testing::Test {
 protected:
  fakepff::Session session_;
  fakepff::Archive archive_;
};

TEST_F(FakeLibpffTest, AccountingNamesLeaksAndRecordsMisuseWithoutCrashing) {
  EXPECT_TRUE(fakepff::calls().empty()) << "each Session starts clean";
  Node& inbox = archive_.root().add_folder();
  inbox.add_message();
  fakepff::ScopedItem folder(inbox);
  libpff_item_t* message = nullptr;
  ASSERT_EQ(libpff_folder_get_sub_message(folder.get(), 0, &message, nullptr), 1);
  const std::string message_0 = "item root/folder 0/message 0 (from libpff_folder_get_sub_message)";
  EXPECT_EQ(fakepff::leaks(), (Texts{"item root/folder 0 (from fakepff::open_item)", message_0}));

  // Misuse is recorded instead of crashing: a double free, uses after free,
  // a free of a pointer never handed out, an out-parameter not null.
  libpff_item_t* copy = message;
  libpff_item_t* late = message;
  EXPECT_EQ(libpff_item_free(&message, nullptr), 1);
  EXPECT_EQ(message, nullptr);
  EXPECT_EQ(libpff_item_free(&copy, nullptr), -1);
  // A second failure appends to the error in the slot (no second object);
  // only the most recent message is printed, as libcerror does.
  int count = -1;
  libpff_error_t* error = nullptr;
  EXPECT_EQ(libpff_folder_get_number_of_sub_messages(late, &count, &error), -1);
  libpff_error_t* first = error;
  EXPECT_EQ(libpff_folder_get_number_of_sub_folders(late, &count, &error), -1);
  EXPECT_EQ(error, first);
  EXPECT_EQ(fakepff::leaks().size(), 2u) << "the folder and the error";
  EXPECT_EQ(Taken(&error), "libpff: libpff_folder_get_number_of_sub_folders: invalid item.\n");
  libpff_error_free(&error);  // null again: nothing to do
  libpff_item_t* stale = reinterpret_cast<libpff_item_t*>(&count);
  EXPECT_EQ(libpff_item_free(&stale, nullptr), -1);
  libpff_item_t* again = nullptr;
  ASSERT_EQ(libpff_folder_get_sub_message(folder.get(), 0, &again, nullptr), 1);
  EXPECT_EQ(libpff_folder_get_sub_message(folder.get(), 0, &again, nullptr), -1);
  libpff_item_free(&again, nullptr);

  EXPECT_EQ(fakepff::faults(),
            (Texts{"libpff_item_free: double free of " + message_0,
                   "libpff_folder_get_number_of_sub_messages: use of freed " + message_0,
                   "libpff_folder_get_number_of_sub_folders: use of freed " + message_0,
                   "libpff_item_free: free of a pointer never handed out (item)",
                   "libpff_folder_get_sub_message: sub message out-parameter not null on entry"}));
  EXPECT_EQ(fakepff::leaks(), Texts{"item root/folder 0 (from fakepff::open_item)"});
}

// A rule on a folder holding messages 0..2, then a read of each message.
// Outcome per index: 'i' 1 with an item, 'n' 1 with null, 'e' -1 with an
// error object, 'x' -1 without one.
TEST_F(FakeLibpffTest, InjectedFailuresAnswerPerIndex) {
  const struct {
    Failure how;
    int64_t at;
    const char* outcomes;
  } rows[] = {{Failure::kError, 1, "iei"},
              {Failure::kErrorNoObject, 2, "iix"},
              {Failure::kNullObject, 0, "nii"},
              {Failure::kError, fakepff::kAnyCall, "eee"}};
  for (const auto& row : rows) {
    Node& folder = archive_.root().add_folder();
    for (int i = 0; i < 3; ++i) folder.add_message();
    folder.fail_at(Call::kFolderGetSubMessage, row.at, row.how);
    fakepff::ScopedItem item(folder);
    std::string outcomes;
    for (int i = 0; i < 3; ++i) {
      libpff_item_t* message = nullptr;
      libpff_error_t* error = nullptr;
      const int result = libpff_folder_get_sub_message(item.get(), i, &message, &error);
      outcomes += result == 1    ? (message != nullptr ? 'i' : 'n')
                  : result == -1 ? (error != nullptr ? 'e' : 'x')
                                 : '?';
      libpff_item_free(&message, nullptr);
      libpff_error_free(&error);
    }
    EXPECT_EQ(outcomes, row.outcomes) << "rule at " << row.at;
  }
  EXPECT_EQ(fakepff::audit(), "");
}

// Entry-value reads, as measured on the real libpff: only flags 0 and 0x02;
// UTF-8 sizes count one terminator; 32-bit reads see only 0x0003 entries;
// an absent entry is "not available" (0), an absent record set an error.
TEST_F(FakeLibpffTest, EntryValueReadsMirrorTheRealLibrary) {
  Node& item = archive_.root().add_message();
  item.set_unicode(0x0037, "\xC3\x89t\xC3\xA9");  // 3 chars, 5 UTF-8 bytes
  item.add_entry(0, 0x001A, fakepff::kValueUnicode, std::string("I\0P\0M\0\0\0", 8));
  item.set_string8(0x0E04, "caf\xE9 \x80");  // Windows-1252
  item.set_u32(0x0017, 2).set_binary(0x35E0, std::string(24, '\1')).set_u16(0x4000, 5);
  item.set_unicode(0x8005, "named");
  const std::string size_error = "libpff: libpff_item_get_entry_value_utf8_string_size: ";
  const std::string type_error = size_error + "unsupported value type: ";
  const struct {
    const char* name;
    uint32_t entry_type;
    uint8_t flags;
    int record_set;
    int utf8_result;  // of ..._utf8_string_size
    size_t utf8_size;
    std::string error;  // printed error of the UTF-8 size read
    int u32_result;     // of ..._32bit
    uint32_t u32_value;
  } rows[] = {
      {"unicode", 0x0037, 0, 0, 1, 6, "", 0, 0},
      {"flag 1 rejected", 0x0037, 1, 0, -1, 0, size_error + "unsupported flags: 0x01.\n", -1, 0},
      {"stored terminator counts once", 0x001A, 0, 0, 1, 4, "", 0, 0},
      {"8-bit string from cp1252", 0x0E04, 0, 0, 1, 10, "", 0, 0},
      {"32-bit integer", 0x0017, 0, 0, -1, 0, type_error + "0x0003.\n", 1, 2},
      {"binary", 0x35E0, 0, 0, -1, 0, type_error + "0x0102.\n", 0, 0},
      {"16-bit integer", 0x4000, 0, 0, -1, 0, type_error + "0x0002.\n", 0, 0},
      {"absent", 0x0042, 0, 0, 0, 0, "", 0, 0},
      {"named, flag 0", 0x8005, 0, 0, 0, 0, "", 0, 0},
      {"named, flag 2", 0x8005, 2, 0, 1, 6, "", 0, 0},
      {"absent record set", 0x0037, 0, 7, -1, 0, size_error + "unable to retrieve record entry.\n",
       -1, 0},
  };
  fakepff::ScopedItem handle(item);
  for (const auto& row : rows) {
    size_t size = 0;
    libpff_error_t* error = nullptr;
    EXPECT_EQ(libpff_item_get_entry_value_utf8_string_size(
                  handle.get(), row.record_set, row.entry_type, &size, row.flags, &error),
              row.utf8_result)
        << row.name;
    EXPECT_EQ(size, row.utf8_size) << row.name;
    EXPECT_EQ(Taken(&error), row.error) << row.name;
    uint32_t value = 0;
    EXPECT_EQ(libpff_item_get_entry_value_32bit(handle.get(), row.record_set, row.entry_type,
                                                &value, row.flags, &error),
              row.u32_result)
        << row.name;
    EXPECT_EQ(value, row.u32_value) << row.name;
    libpff_error_free(&error);
  }
  EXPECT_EQ(fakepff::calls(Call::kItemGetEntryValue32bit).at(1).args,
            std::vector<int64_t>({0, 0x0037, 1}))
      << "record set, entry type and flags are logged";
}

// Strings and bodies come with a terminator and need a buffer that holds it;
// the HTML body read accepts one byte less (and libpff then writes past it).
// An absent body is "not available" and leaves the size.
TEST_F(FakeLibpffTest, ValueReadsNeedTheWholeSizeAndGiveBytesWithTerminator) {
  Node& item = archive_.root().add_message();
  item.set_unicode(0x0037, "abc").set_plain_text_body("body").set_html_body("<p>");
  item.set_binary(0x0FFF, "12345");
  fakepff::ScopedItem handle(item);
  std::string buffer(8, '#');
  uint8_t* bytes = reinterpret_cast<uint8_t*>(&buffer[0]);
  EXPECT_EQ(libpff_item_get_entry_value_utf8_string(handle.get(), 0, 0x0037, bytes, 3, 0, nullptr),
            -1);
  EXPECT_EQ(buffer, "########");
  EXPECT_EQ(libpff_item_get_entry_value_utf8_string(handle.get(), 0, 0x0037, bytes, 4, 0, nullptr),
            1);
  EXPECT_EQ(buffer, std::string("abc\0####", 8));
  EXPECT_EQ(libpff_message_get_plain_text_body(handle.get(), bytes, 4, nullptr), -1);
  EXPECT_EQ(buffer, std::string("abc\0####", 8));
  EXPECT_EQ(libpff_message_get_plain_text_body(handle.get(), bytes, 5, nullptr), 1);
  EXPECT_EQ(buffer, std::string("body\0###", 8));
  size_t size = 0;
  EXPECT_EQ(libpff_message_get_html_body_size(handle.get(), &size, nullptr), 1);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(libpff_message_get_html_body(handle.get(), bytes, 3, nullptr), 1);
  EXPECT_EQ(fakepff::faults().size(), 1u) << "the fake flags the write past the buffer";

  libpff_record_set_t* set = nullptr;
  libpff_record_entry_t* entry = nullptr;
  ASSERT_EQ(libpff_item_get_record_set_by_index(handle.get(), 0, &set, nullptr), 1);
  ASSERT_EQ(libpff_record_set_get_entry_by_index(set, 1, &entry, nullptr), 1);
  EXPECT_EQ(libpff_record_entry_get_data(entry, bytes, 4, nullptr), -1);
  EXPECT_EQ(libpff_record_entry_get_data(entry, bytes, 8, nullptr), 1);
  libpff_record_entry_free(&entry, nullptr);
  libpff_record_set_free(&set, nullptr);

  fakepff::ScopedItem bodiless(archive_.root().add_message());
  size = 99;
  libpff_error_t* error = nullptr;
  EXPECT_EQ(libpff_message_get_plain_text_body_size(bodiless.get(), &size, &error), 0);
  EXPECT_EQ(libpff_message_get_html_body_size(bodiless.get(), &size, &error), 0);
  EXPECT_EQ(size, 99u);
  EXPECT_EQ(error, nullptr);
}

// Each attachment item handed out has its own offset; seeks and reads are
// logged per attachment.
TEST_F(FakeLibpffTest, AttachmentDataSeeksAndReadsPerItemAndIsLogged) {
  Node& attachment = archive_.root().add_message().add_attachment("0123456789");
  fakepff::ScopedItem first(attachment);
  fakepff::ScopedItem second(attachment);
  uint8_t buffer[8];
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), 6, SEEK_SET, nullptr), 6);
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), 2, SEEK_CUR, nullptr), 8);
  EXPECT_EQ(libpff_attachment_data_read_buffer(first.get(), buffer, 8, nullptr), 2);
  EXPECT_EQ(libpff_attachment_data_read_buffer(first.get(), buffer, 8, nullptr), 0);
  EXPECT_EQ(libpff_attachment_data_read_buffer(second.get(), buffer, 3, nullptr), 3);
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), -4, SEEK_END, nullptr), 6);
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), 20, SEEK_SET, nullptr), 20);
  EXPECT_EQ(libpff_attachment_data_read_buffer(first.get(), buffer, 8, nullptr), 0);
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), -1, SEEK_SET, nullptr), -1);
  EXPECT_EQ(libpff_attachment_data_seek_offset(first.get(), 0, 7, nullptr), -1);
  EXPECT_EQ(fakepff::read_sizes(attachment), std::vector<int64_t>({8, 8, 3, 8}));
  EXPECT_EQ(fakepff::seek_offsets(attachment), std::vector<int64_t>({6, 2, -4, 20, -1, 0}));
}

// Only a registered path opens; an unknown identifier is "not available"; a
// reported count replaces the children's, and an index beyond them fails.
TEST_F(FakeLibpffTest, FilesIdentifiersAndReportedCounts) {
  Node& folder = archive_.root().add_folder().add_folder().set_identifier(8226);
  folder.add_message();
  folder.report(Call::kFolderGetNumberOfSubMessages, 3);
  fakepff::ArchiveRegistration registration("/data/a.pst", archive_);
  libpff_file_t* file = nullptr;
  libpff_error_t* error = nullptr;
  ASSERT_EQ(libpff_file_initialize(&file, &error), 1);
  EXPECT_EQ(libpff_file_open(file, "/data/b.pst", libpff_get_access_flags_read(), &error), -1);
  EXPECT_EQ(Taken(&error), "libpff: libpff_file_open: unable to open file: /data/b.pst.\n");
  ASSERT_EQ(libpff_file_open(file, "/data/a.pst", libpff_get_access_flags_read(), &error), 1);
  libpff_item_t* item = nullptr;
  EXPECT_EQ(libpff_file_get_item_by_identifier(file, 5, &item, &error), 0);
  EXPECT_EQ(error, nullptr);
  ASSERT_EQ(libpff_file_get_item_by_identifier(file, 8226, &item, &error), 1);
  EXPECT_EQ(fakepff::calls(Call::kFileGetItemByIdentifier).at(0).object, &archive_);

  int count = 0;
  EXPECT_EQ(libpff_folder_get_number_of_sub_messages(item, &count, nullptr), 1);
  EXPECT_EQ(count, 3);
  libpff_item_t* message = nullptr;
  EXPECT_EQ(libpff_folder_get_sub_message(item, 1, &message, &error), -1);
  EXPECT_EQ(Taken(&error),
            "libpff: libpff_folder_get_sub_message: "
            "invalid sub message index value out of bounds.\n");
  libpff_item_free(&item, nullptr);
  EXPECT_EQ(libpff_file_close(file, nullptr), 0);
  libpff_file_free(&file, nullptr);
  EXPECT_EQ(fakepff::audit(), "");
}

}  // namespace
