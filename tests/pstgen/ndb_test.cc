// Whole archives checked at the node-database level by an independent
// reader: checksums, signatures, B-tree shape, allocation maps, node links
// and data-tree depths.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive.h"
#include "archive_writer.h"
#include "ndb_check.h"
#include "nid.h"
#include "sample_archives.h"
#include "test_support.h"

namespace pstgen_test {
namespace {

using pstgen::Archive;

TEST(ArchiveModel, HandsOutTheUsualNids) {
  Archive a;
  const struct {
    const char* what;
    uint32_t nid, expected;
  } rows[] = {
      {"root", a.root().nid(), 0x122},
      {"IPM subtree", a.ipm_subtree().nid(), 0x8022},
      {"search root", a.search_root().nid(), 0x8042},
      {"deleted items", a.deleted_items().nid(), 0x8062},
      {"first user folder", a.add_folder(a.ipm_subtree(), "Inbox").nid(), 0x8082},
      {"first message", a.ipm_subtree().add_message().nid(), 0x200024},
      {"second message", a.root().add_message().nid(), 0x200044},
  };
  for (const auto& row : rows) EXPECT_EQ(row.nid, row.expected) << row.what;
}

using WrittenArchive = pstgen_test::ArchiveTest;

TEST_F(WrittenArchive, RichArchivePassesEveryCheckAndLinksItsNodes) {
  Archive a;
  const std::vector<ExpectedMessage> expected = build_rich_archive(a);
  const NdbCheck check(write(a));
  const auto& nodes = check.nodes();
  EXPECT_EQ(nodes.at(pstgen::kNidRootFolder).parent, pstgen::kNidRootFolder) << "root is its own parent";
  EXPECT_EQ(nodes.at(pstgen::kNidMessageStore).parent, 0u);
  for (const pstgen::Folder& f : a.folders()) {
    if (f.parent() != nullptr) {
      EXPECT_EQ(nodes.at(f.nid()).parent, f.parent()->nid()) << std::hex << f.nid();
    }
    for (uint32_t type : {0x0D, 0x0E, 0x0F}) {
      EXPECT_EQ(nodes.count((f.nid() & ~0x1Fu) | type), 1u) << "table " << type << " of folder " << std::hex << f.nid();
    }
    for (const pstgen::Message& m : f.messages()) EXPECT_EQ(nodes.at(m.nid()).parent, f.nid());
  }
}

TEST_F(WrittenArchive, LargeValuesGetDataTreesOfTheRightDepth) {
  Archive a;
  const std::vector<ExpectedMessage> expected = build_rich_archive(a);
  const NdbCheck check(write(a));
  // The third message: a 60,000-byte body and a 9,000,000-byte attachment.
  const NodeRef message = check.nodes().at(expected[2].nid);
  const auto subnodes = check.subnodes(message.bid_sub);
  int depth = -1;
  const auto body = std::find_if(subnodes.begin(), subnodes.end(), [](const auto& s) { return (s.first & 0x1F) == 0x1F; });
  ASSERT_NE(body, subnodes.end());
  EXPECT_EQ(check.data_blocks(body->second.bid_data, &depth).size(), 15u) << "120,000 bytes of UTF-16";
  EXPECT_EQ(depth, 1);
  const NodeRef attachment = subnodes.at(0x8005);
  const auto attachment_subnodes = check.subnodes(attachment.bid_sub);
  ASSERT_EQ(attachment_subnodes.size(), 1u);
  const uint64_t data = attachment_subnodes.begin()->second.bid_data;
  EXPECT_EQ(check.stream(data), expected[2].attachments[0].data);
  check.data_blocks(data, &depth);
  EXPECT_EQ(depth, 2) << "9,000,000 bytes need an XXBLOCK";
}

TEST_F(WrittenArchive, ManyMessagesGiveDeeperBtrees) {
  Archive a;
  build_many_messages_archive(a, 3000);
  const NdbCheck check(write(a));
  EXPECT_EQ(check.node_btree_depth(), 3) << "3,025 nodes: 202 leaves, 11 pages above them, a root";
  EXPECT_EQ(check.block_btree_depth(), 4) << "three blocks per message: 9,000+ entries";
  EXPECT_EQ(check.nodes().size(), 3000u + 1 + 6 * 4);  // messages, store, six folders with three tables each
}

TEST_F(WrittenArchive, ManySubnodesGetAnIntermediateSubnodeBlock) {
  Archive a;
  pstgen::Message& m = a.add_folder(a.ipm_subtree(), "Inbox").add_message();
  for (int i = 0; i < 400; ++i) m.add_attachment({"file" + std::to_string(i), "", "data " + std::to_string(i)});
  const NdbCheck check(write(a));
  int depth = 0;
  const auto subnodes = check.subnodes(check.nodes().at(m.nid()).bid_sub, &depth);
  EXPECT_EQ(depth, 2) << "402 subnodes do not fit one SLBLOCK";
  EXPECT_EQ(subnodes.size(), 402u);
  EXPECT_EQ(subnodes.count(pstgen::kNidAttachmentTable) + subnodes.count(pstgen::kNidRecipientTable), 2u);
}

TEST_F(WrittenArchive, SameContentGivesTheSameBytes) {
  std::string first, second;
  for (std::string* out : {&first, &second}) {
    Archive a;
    build_rich_archive(a);
    *out = read_file(write(a));
  }
  EXPECT_TRUE(first == second);
}

}  // namespace
}  // namespace pstgen_test
