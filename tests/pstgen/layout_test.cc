// The pure layout rules of the node database: checksums, signatures, and how
// data is cut into blocks and tied together.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "crc.h"
#include "data_tree.h"
#include "pages.h"

namespace pstgen {
namespace {

std::string bytes_0_to_255_times_4() {
  std::string s;
  for (int r = 0; r < 4; ++r) {
    for (int i = 0; i < 256; ++i) s.push_back(static_cast<char>(i));
  }
  return s;
}

TEST(PstCrc, MatchesReferenceValues) {
  // Reference: zlib's crc32(data, seed 0xFFFFFFFF) ^ 0xFFFFFFFF, which is the
  // archive's variant (initial value 0, no final XOR).
  const struct {
    std::string data;
    uint32_t crc;
  } rows[] = {
      {"", 0x00000000},
      {"a", 0x3AB551CE},
      {"123456789", 0x2DFD2D88},
      {"The quick brown fox jumps over the lazy dog", 0xB9C60808},
      {bytes_0_to_255_times_4(), 0x58BEE308},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(pst_crc(row.data), row.crc) << "input of " << row.data.size() << " bytes";
  }
}

TEST(PstCrc, ContinuesOverSplitInput) {
  const std::string data = bytes_0_to_255_times_4();
  for (size_t cut : {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{9}, size_t{500}, data.size()}) {
    EXPECT_EQ(pst_crc(data.substr(cut), pst_crc(data.substr(0, cut))), pst_crc(data)) << "cut at " << cut;
  }
}

TEST(BlockSignature, FoldsTheLow32BitsOfOffsetXorId) {
  const struct {
    uint64_t ib, bid;
    uint16_t sig;
  } rows[] = {
      {0x4400, 0x4, 0x4404},
      {0x12345678, 0x9ABCDEF0, 0x0000},       // 0x88888888 folds to 0
      {0x100004400, 0x24, 0x4424},            // bits above 32 do not count
      {0x0001F000, 0x0000000C, 0xF00D},       // 0x0001F00C: 0x0001 ^ 0xF00C
  };
  for (const auto& row : rows) {
    EXPECT_EQ(block_signature(row.ib, row.bid), row.sig) << std::hex << "ib " << row.ib << " bid " << row.bid;
  }
}

TEST(SplitStream, CutsIntoFullBlocksAndOneRest) {
  const struct {
    size_t size;
    std::vector<size_t> pieces;
  } rows[] = {
      {0, {}},
      {1, {1}},
      {8176, {8176}},
      {8177, {8176, 1}},
      {3 * 8176 + 5, {8176, 8176, 8176, 5}},
  };
  for (const auto& row : rows) {
    const std::string data(row.size, 'x');
    std::vector<size_t> sizes;
    for (std::string_view p : split_stream(data)) sizes.push_back(p.size());
    EXPECT_EQ(sizes, row.pieces) << row.size << " bytes";
  }
  EXPECT_EQ(split_stream(std::string(2500000, 'x')).size(), 306u) << "2,500,000 bytes";
}

TEST(InternalBlocks, HaveTheirDocumentedLayout) {
  const std::string x = make_xblock(1, 20000, {0x10, 0x14, 0x18});
  ASSERT_EQ(x.size(), 8u + 3 * 8);
  EXPECT_EQ(x.substr(0, 4), std::string("\x01\x01\x03\x00", 4));
  EXPECT_EQ(load_u32(x, 4), 20000u);
  EXPECT_EQ(load_u64(x, 16), 0x14u);

  const std::string sl = make_slblock({{0x671, 0x20, 0}, {0x692, 0x24, 0x2A}});
  ASSERT_EQ(sl.size(), 8u + 2 * 24);
  EXPECT_EQ(sl.substr(0, 4), std::string("\x02\x00\x02\x00", 4));
  EXPECT_EQ(load_u64(sl, 8 + 24), 0x692u);
  EXPECT_EQ(load_u64(sl, 8 + 24 + 16), 0x2Au);

  const std::string si = make_siblock({{0x5, 0x32}});
  EXPECT_EQ(si.substr(0, 4), std::string("\x02\x01\x01\x00", 4));
  EXPECT_THROW(make_xblock(1, 0, std::vector<uint64_t>(kMaxXblockEntries + 1, 4)), std::logic_error);
  EXPECT_THROW(make_slblock({}), std::logic_error);
}

TEST(BtreePage, CarriesCountsLevelAndTrailer) {
  const Bref self{0x40, 0x8000};
  const std::string page =
      make_btree_page(PageType::kNodeBtree, {encode_nbt_entry({0x21, 0x4, 0, 0})}, kNbtEntrySize, 0, self);
  ASSERT_EQ(page.size(), kPageSize);
  EXPECT_EQ(static_cast<uint8_t>(page[488]), 1);   // cEnt
  EXPECT_EQ(static_cast<uint8_t>(page[489]), 15);  // cEntMax for 32-byte entries
  EXPECT_EQ(static_cast<uint8_t>(page[490]), 32);
  EXPECT_EQ(static_cast<uint8_t>(page[491]), 0);
  EXPECT_EQ(static_cast<uint8_t>(page[496]), 0x81);
  EXPECT_EQ(load_u16(page, 498), block_signature(self.ib, self.bid));
  EXPECT_EQ(load_u32(page, 500), pst_crc(std::string_view(page).substr(0, 496)));
  EXPECT_EQ(load_u64(page, 504), self.bid);
}

TEST(Utf16, EncodesSurrogatesAndReplacesBadBytes) {
  const struct {
    std::string utf8;
    std::u16string utf16;
  } rows[] = {
      {"Été", u"Été"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\xE2\x82", u"\uFFFD\uFFFD"},           // truncated sequence
      {"\xC0\xAF", u"\uFFFD\uFFFD"},           // overlong form
  };
  for (const auto& row : rows) {
    std::string expected;
    for (char16_t c : row.utf16) put_u16(expected, static_cast<uint16_t>(c));
    EXPECT_EQ(utf8_to_utf16le(row.utf8), expected) << row.utf8;
  }
}

}  // namespace
}  // namespace pstgen
