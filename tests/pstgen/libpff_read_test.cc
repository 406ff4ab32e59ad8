// Archives read back through the libpff library: every property exactly as
// written, the folder tree and message order, recipients, attachment bytes,
// and the store's 32-bit folder identifier resolving to its folder.
#include <gtest/gtest.h>

#include <functional>

#include "archive.h"
#include "archive_writer.h"
#include "generator.h"
#include "libpff_handles.h"
#include "sample_archives.h"
#include "tags.h"
#include "test_support.h"

namespace pstgen_test {
namespace {

using pstgen::Archive;
using pstgen::PropertyList;

std::map<uint32_t, std::string> as_map(const PropertyList& props) {
  std::map<uint32_t, std::string> out;
  for (const pstgen::Property& p : props.items()) out[p.tag] = p.value;
  return out;
}

std::string attachment_bytes(libpff_item_t* attachment) {
  size64_t size = 0;
  libpff_error_t* error = nullptr;
  EXPECT_EQ(libpff_attachment_get_data_size(attachment, &size, &error), 1);
  std::string data(size, '\0');
  if (size > 0) {
    EXPECT_EQ(libpff_attachment_data_read_buffer(attachment, reinterpret_cast<uint8_t*>(&data[0]), data.size(), &error),
              static_cast<ssize_t>(size));
  }
  return data;
}

using LibpffRead = pstgen_test::ArchiveTest;

TEST_F(LibpffRead, EveryMessagePropertyComesBackAsWritten) {
  Archive a;
  build_rich_archive(a);
  const LibpffFile file(write(a));
  for (const pstgen::Folder& f : a.folders()) {
    for (const pstgen::Message& m : f.messages()) {
      const Item item = file.item(m.nid());
      ASSERT_NE(item, nullptr) << std::hex << m.nid();
      EXPECT_EQ(record_entries(item.get()), as_map(m.props())) << "message " << std::hex << m.nid();
    }
  }
}

TEST_F(LibpffRead, FolderTreeAndMessageOrderFollowTheModel) {
  Archive a;
  build_rich_archive(a);
  build_many_messages_archive(a, 40);
  const LibpffFile file(write(a));
  const std::function<void(const pstgen::Folder&, libpff_item_t*)> compare = [&](const pstgen::Folder& model,
                                                                                 libpff_item_t* folder) {
    EXPECT_EQ(identifier(folder), model.nid());
    ASSERT_EQ(sub_message_count(folder), static_cast<int>(model.messages().size())) << folder_name(folder);
    for (int i = 0; i < sub_message_count(folder); ++i) {
      EXPECT_EQ(identifier(sub_message(folder, i).get()), model.messages()[i].nid()) << folder_name(folder) << " #" << i;
    }
    ASSERT_EQ(sub_folder_count(folder), static_cast<int>(model.children().size())) << folder_name(folder);
    for (int i = 0; i < sub_folder_count(folder); ++i) {
      const Item child = sub_folder(folder, i);
      const pstgen::Folder& child_model = *model.children()[i];
      const pstgen::Property* name = child_model.props().find(pstgen::kPropDisplayName);
      EXPECT_EQ(record_entries(child.get()).at(name->tag), name->value);
      compare(child_model, child.get());
    }
  };
  compare(a.root(), file.root_folder().get());
}

TEST_F(LibpffRead, RecipientRowsAndAttachmentDataComeBack) {
  Archive a;
  const std::vector<ExpectedMessage> expected = build_rich_archive(a);
  const LibpffFile file(write(a));
  const pstgen::Message& typed = a.folders()[4].messages()[0];
  const Item message = file.item(typed.nid());
  libpff_item_t* raw = nullptr;
  ASSERT_EQ(libpff_message_get_recipients(message.get(), &raw, nullptr), 1);
  const Item recipients(raw);
  for (size_t r = 0; r < typed.recipients().size(); ++r) {
    const auto row = record_entries(recipients.get(), static_cast<int>(r));
    for (const auto& [tag, value] : as_map(typed.recipients()[r])) {
      EXPECT_EQ(row.count(tag) ? row.at(tag) : "<absent>", value) << "recipient " << r << " tag " << std::hex << tag;
    }
  }
  const pstgen::Message& with_files = a.folders()[4].messages()[1];
  const Item files = file.item(with_files.nid());
  for (size_t i = 0; i < with_files.attachments().size(); ++i) {
    libpff_item_t* attachment = nullptr;
    ASSERT_EQ(libpff_message_get_attachment(files.get(), static_cast<int>(i), &attachment, nullptr), 1);
    const Item owned(attachment);
    auto written = as_map(with_files.attachments()[i]);
    written.erase(0x37010102);  // the data is read through the attachment data calls below
    auto read = record_entries(owned.get());
    read.erase(0x37010102);
    EXPECT_EQ(read, written) << "attachment " << i;
  }
  for (const ExpectedMessage& e : expected) {
    const Item item = file.item(e.nid);
    int count = 0;
    ASSERT_EQ(libpff_message_get_number_of_attachments(item.get(), &count, nullptr), 1);
    ASSERT_EQ(count, static_cast<int>(e.attachments.size())) << e.subject;
    for (int i = 0; i < count; ++i) {
      libpff_item_t* attachment = nullptr;
      ASSERT_EQ(libpff_message_get_attachment(item.get(), i, &attachment, nullptr), 1);
      const Item owned(attachment);
      EXPECT_TRUE(attachment_bytes(owned.get()) == e.attachments[i].data)
          << e.subject << ": " << e.attachments[i].long_name;
    }
  }
}

TEST_F(LibpffRead, StoreFolderIdentifierResolvesToTheFolder) {
  Archive a;
  pstgen::Folder& inbox = a.add_folder(a.ipm_subtree(), "Inbox");
  for (int i = 0; i < 3; ++i) inbox.add_message().set_unicode(pstgen::kPropSubject, "m" + std::to_string(i));
  a.set_store_folder_identifier(&inbox);
  const LibpffFile file(write(a));
  const auto store = record_entries(file.message_store().get());
  ASSERT_EQ(store.count(0x35E00003), 1u) << "0x35E0 as PT_LONG";
  EXPECT_EQ(store.count(0x35E00102), 0u);
  const std::string& value = store.at(0x35E00003);
  ASSERT_EQ(value.size(), 4u);
  const uint32_t id = static_cast<uint8_t>(value[0]) | static_cast<uint8_t>(value[1]) << 8 |
                      static_cast<uint8_t>(value[2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(value[3])) << 24;
  EXPECT_EQ(id, inbox.nid());
  const Item folder = file.item(id);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder_name(folder.get()), "Inbox");
  EXPECT_EQ(sub_message_count(folder.get()), 3);
}

TEST_F(LibpffRead, DefaultStoreEntryIsABinaryEntryIdOfTheIpmSubtree) {
  Archive a;
  const LibpffFile file(write(a));
  const auto store = record_entries(file.message_store().get());
  ASSERT_EQ(store.count(0x35E00102), 1u);
  const std::string& entry_id = store.at(0x35E00102);
  ASSERT_EQ(entry_id.size(), 24u);
  EXPECT_EQ(entry_id.substr(4, 16), store.at(0x0FF90102)) << "the store's record key";
  EXPECT_EQ(static_cast<uint8_t>(entry_id[20]) | static_cast<uint8_t>(entry_id[21]) << 8, 0x8022);
}

TEST_F(LibpffRead, GeneratedArchivesHoldWhatTheGeneratorReports) {
  for (const bool grouped : {false, true}) {
    pstgen::GeneratorOptions o;
    o.messages = 300;
    o.folders = 9;
    o.attachments_per_message = 2;
    o.attachment_every = 3;
    o.attachment_size_min = 10;
    o.attachment_size_max = 20000;
    o.group_by_folder = grouped;
    const pstgen::GeneratorReport report = pstgen::generate_archive(o, dir_.file("generated.pst"));
    EXPECT_EQ(report.attachments, 200u);
    const LibpffFile file(dir_.file("generated.pst"));
    int messages = 0, attachments = 0;
    const std::function<void(libpff_item_t*)> count = [&](libpff_item_t* folder) {
      for (int i = 0; i < sub_message_count(folder); ++i) {
        int n = 0;
        libpff_message_get_number_of_attachments(sub_message(folder, i).get(), &n, nullptr);
        ++messages;
        attachments += n;
      }
      for (int i = 0; i < sub_folder_count(folder); ++i) count(sub_folder(folder, i).get());
    };
    count(file.root_folder().get());
    EXPECT_EQ(messages, 300) << (grouped ? "grouped" : "arrival order");
    EXPECT_EQ(attachments, 200) << (grouped ? "grouped" : "arrival order");
  }
}

}  // namespace
}  // namespace pstgen_test
