// What pstgen promises, checked through the real libpff: one archive holding
// every shape the writer produces reads back next to the builder's model
// (every property's bytes, folder and message order, recipient rows,
// attachments, the store's 0x35E0) and has the same bytes each time it is
// written.
#include <gtest/gtest.h>
#include <libpff.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive.h"
#include "archive_writer.h"
#include "bytes.h"
#include "support/test_platform.h"
#include "tags.h"

namespace pstgen_test {
namespace {

using pstgen::Folder;
using pstgen::Message;
using pstgen::RecipientType;

// Calls a libpff function whose last argument is the error; throws with
// libpff's message unless it returns 1.
template <typename F, typename... Args>
void call(F function, Args... args) {
  libpff_error_t* error = nullptr;
  if (function(args..., &error) == 1) return;
  char text[2048] = "";
  libpff_error_sprint(error, text, sizeof text);
  libpff_error_free(&error);
  throw std::runtime_error(text);
}

// What `function(args..., &value)` gives: a count, an identifier, an item...
template <typename T = int, typename F, typename... Args>
T get(F function, Args... args) {
  T value{};
  call(function, args..., &value);
  return value;
}

struct ItemFree {
  void operator()(libpff_item_t* item) const { libpff_item_free(&item, nullptr); }
};
using Item = std::unique_ptr<libpff_item_t, ItemFree>;

template <typename F, typename... Args>
Item get_item(F function, Args... args) {
  return Item(get<libpff_item_t*>(function, args...));
}

struct File {
  libpff_file_t* file = nullptr;
  File() { call(libpff_file_initialize, &file); }
  explicit File(const std::string& p) : File() {
    call(libpff_file_open, file, p.c_str(), libpff_get_access_flags_read());
  }
  ~File() { libpff_file_close(file, nullptr), libpff_file_free(&file, nullptr); }
  Item root() const { return get_item(libpff_file_get_root_folder, file); }
};

using Entries = std::map<uint32_t, std::string>;  // tag -> value bytes

// Record set `set` of `item`: a message, folder, store or attachment has one,
// recipients one per row.
Entries record_entries(libpff_item_t* item, int set = 0) {
  libpff_record_set_t* records = get<libpff_record_set_t*>(libpff_item_get_record_set_by_index, item, set);
  Entries out;
  for (int i = 0; i < get(libpff_record_set_get_number_of_entries, records); ++i) {
    libpff_record_entry_t* e = get<libpff_record_entry_t*>(libpff_record_set_get_entry_by_index, records, i);
    std::string& value = out[get<uint32_t>(libpff_record_entry_get_entry_type, e) << 16 |
                             get<uint32_t>(libpff_record_entry_get_value_type, e)];
    value.resize(get<size_t>(libpff_record_entry_get_data_size, e));
    if (!value.empty()) call(libpff_record_entry_get_data, e, reinterpret_cast<uint8_t*>(&value[0]), value.size());
    libpff_record_entry_free(&e, nullptr);
  }
  libpff_record_set_free(&records, nullptr);
  return out;
}

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}


std::string pattern(size_t size, unsigned seed) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 131 + seed) % 251);
  return out;
}

// libpff tells messages from other items by their class.
Message& mail(Folder& folder) { return folder.add_message().set_unicode(pstgen::kPropMessageClass, "IPM.Note"); }

// Every property type, values either side of the heap's 3,580-byte limit,
// non-ASCII texts, a body over one block (XBLOCK), an attachment over 1,021
// blocks (XXBLOCK), a property context over eight heap pages (the rest spills
// to subnodes), more subnodes than one SLBLOCK holds, and 600 messages in one
// folder (three-level B-trees, a contents table over several blocks).
// Returns the folder 0x35E0 names when `folder_identifier`.
const Folder& build(pstgen::Archive& a, bool folder_identifier) {
  Folder& inbox = a.add_folder(a.ipm_subtree(), "Inbox");
  Folder& deep = a.add_folder(a.add_folder(inbox, "Projets été 2024"), "Level 2 ☕", "");
  Folder& bulk = a.add_folder(a.ipm_subtree(), "Bulk");
  for (int i = 0; i < 12; ++i) a.add_folder(bulk, "Sub " + std::to_string(i));
  Message& typed = mail(inbox).set_unicode(pstgen::kPropSubject, "Réunion — pièces jointes ☕");
  // Ids 0x4000 + type: the fixed-size types with their sizes, then variable ones.
  const std::pair<uint16_t, size_t> types[] = {{0x0002, 2},  {0x0003, 4},  {0x0004, 4},    {0x0005, 8}, {0x0006, 8},
                                               {0x0007, 8},  {0x000A, 4},  {0x000B, 1},    {0x0014, 8}, {0x0040, 8},
                                               {0x001E, 20}, {0x0048, 16}, {0x0102, 3580}, {0x1003, 8}};
  for (const auto& [type, size] : types) typed.props().set_raw((0x4000u + type) << 16 | type, pattern(size, type));
  typed.set_unicode(0x6700, "Emoji \xF0\x9F\x98\x80, Zoë, 日本語")
      .set_unicode(0x6701, "")
      .set_binary(0x6702, pattern(3581, 7));
  typed.add_recipient({RecipientType::kTo, "Ann Example", "ann@example.com", "ann@example.com"});
  typed.add_recipient({RecipientType::kBcc, "Zoë Müller", "zoe@example.com", ""});
  std::string body;
  for (int line = 0; body.size() < 20000; ++line) body += "Line " + std::to_string(line) + " of the body.\r\n";
  mail(inbox).set_unicode(pstgen::kPropBody, body).add_attachment({"big.zip", "BIG.ZIP", pattern(8400000, 1)});
  Message& wide = mail(deep);
  for (uint16_t i = 0; i < 30; ++i) wide.set_unicode(0x6600 + i, std::string(1400, static_cast<char>('a' + i)));
  Message& many = mail(deep);
  for (int i = 0; i < 345; ++i) many.add_attachment({"file " + std::to_string(i), "", pattern(i, i)});
  for (uint32_t i = 0; i < 600; ++i) mail(bulk).set_long(pstgen::kPropMessageFlags, i % 3);
  a.set_store_folder_identifier(folder_identifier ? &inbox : nullptr);
  return inbox;
}

// Every written property comes back with the same bytes and nothing else
// does, but in a table `row` its id, its version and empty absent cells.
void expect_entries(Entries read, const pstgen::PropertyList& written, bool row = false) {
  for (const pstgen::Property& p : written.items()) {
    EXPECT_TRUE(read.count(p.tag) && read[p.tag] == p.value) << std::hex << "tag " << p.tag << " lost or changed";
    read.erase(p.tag);
  }
  for (const auto& [tag, value] : read) {
    EXPECT_TRUE(row && (tag == 0x67F20003 || tag == 0x67F30003 || value.empty())) << std::hex << "extra tag " << tag;
  }
}

void compare_message(const Message& model, libpff_item_t* message) {
  SCOPED_TRACE("message " + std::to_string(model.nid()));
  EXPECT_EQ(get<uint32_t>(libpff_item_get_identifier, message), model.nid());
  expect_entries(record_entries(message), model.props());
  const int recipients = static_cast<int>(model.recipients().size());
  libpff_item_t* raw = nullptr;
  const Item table(libpff_message_get_recipients(message, &raw, nullptr) == 1 ? raw : nullptr);
  ASSERT_EQ(table ? get(libpff_item_get_number_of_record_sets, raw) : 0, recipients);
  for (int r = 0; r < recipients; ++r) expect_entries(record_entries(raw, r), model.recipients()[r], true);
  const int attachments = static_cast<int>(model.attachments().size());
  ASSERT_EQ(get(libpff_message_get_number_of_attachments, message), attachments);
  for (int i = 0; i < attachments; ++i) {
    expect_entries(record_entries(get_item(libpff_message_get_attachment, message, i).get()), model.attachments()[i]);
  }
}

void compare_folder(const Folder& model, libpff_item_t* folder) {
  SCOPED_TRACE("folder " + std::to_string(model.nid()));
  EXPECT_EQ(get<uint32_t>(libpff_item_get_identifier, folder), model.nid());
  const auto& messages = model.messages();
  const auto& sub = model.children();
  const int children = static_cast<int>(sub.size());
  pstgen::PropertyList expected = model.props();  // and the counts
  expected.set_long(pstgen::kPropContentCount, static_cast<uint32_t>(messages.size()));
  uint32_t unread = 0;
  for (const Message& m : messages) {
    const pstgen::Property* flags = m.props().find(pstgen::kPropMessageFlags);
    unread += flags == nullptr || (flags->value[0] & pstgen::kMessageFlagRead) == 0;
  }
  expected.set_long(pstgen::kPropContentUnreadCount, unread);
  expected.set_bool(pstgen::kPropSubfolders, children > 0);
  expect_entries(record_entries(folder), expected);
  const int n = static_cast<int>(messages.size());
  ASSERT_EQ(get(libpff_folder_get_number_of_sub_messages, folder), n);
  for (int i = 0; i < n; ++i) compare_message(messages[i], get_item(libpff_folder_get_sub_message, folder, i).get());
  ASSERT_EQ(get(libpff_folder_get_number_of_sub_folders, folder), children);
  for (int i = 0; i < children; ++i) compare_folder(*sub[i], get_item(libpff_folder_get_sub_folder, folder, i).get());
}

TEST(PstgenArchive, ReadsBackThroughLibpffAsBuilt) {
  const std::string path = ::testing::TempDir() + "pstgen" + quillmar_test::ProcessId();
  for (const bool folder_identifier : {false, true}) {
    SCOPED_TRACE(folder_identifier ? "0x35E0 as a folder NID" : "0x35E0 as an entry ID");
    pstgen::Archive a, again;
    const Folder& inbox = build(a, folder_identifier);
    build(again, folder_identifier);
    pstgen::write_file(again, path);
    const std::string bytes = slurp(path);
    pstgen::write_file(a, path);
    EXPECT_TRUE(slurp(path) == bytes) << "same content, other bytes";
    const File file(path);
    compare_folder(a.root(), file.root().get());
    std::string entry_id = std::string(4, '\0') + a.store().record_key, nid;
    pstgen::put_u32(entry_id, a.ipm_subtree().nid());
    pstgen::put_u32(nid, inbox.nid());
    Entries found;
    for (const auto& [tag, value] : record_entries(get_item(libpff_file_get_message_store, file.file).get())) {
      if (tag >> 16 == pstgen::kPropIpmSubtreeEntryId || tag >> 16 == pstgen::kPropRecordKey) found[tag] = value;
    }
    Entries expected = {{0x0FF90102, a.store().record_key}};  // the UID each entry ID carries
    expected[folder_identifier ? 0x35E00003 : 0x35E00102] = folder_identifier ? nid : entry_id;
    EXPECT_EQ(found, expected);
    const std::u16string text = u"Emoji \U0001F600, Zoë, 日本語";  // UTF-16LE without the builder's encoder
    const Item typed = get_item(libpff_file_get_item_by_identifier, file.file, inbox.messages()[0].nid());
    EXPECT_EQ(record_entries(typed.get()).at(0x6700001F),
              std::string(reinterpret_cast<const char*>(text.data()), 2 * text.size()));
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace pstgen_test
