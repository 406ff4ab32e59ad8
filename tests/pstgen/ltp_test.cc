// The lists-tables-properties layer: heap allocation, B-trees on the heap,
// property and table contexts, read back from the bytes they produce.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "bth.h"
#include "bytes.h"
#include "heap_on_node.h"
#include "node_builder.h"
#include "property_context.h"
#include "table_context.h"

namespace pstgen {
namespace {

// Allocation `hid` of a heap given as its pages, found through the page map.
std::string allocation(const std::vector<std::string>& pages, uint32_t hid) {
  const std::string& page = pages.at(hid >> 16);
  const size_t index = (hid >> 5) & 0x7FF;
  const size_t map = load_u16(page, 0);
  EXPECT_LE(index, load_u16(page, map)) << "HID " << std::hex << hid;
  const size_t begin = load_u16(page, map + 4 + 2 * (index - 1));
  const size_t end = load_u16(page, map + 4 + 2 * index);
  return page.substr(begin, end - begin);
}

TEST(HeapOnNode, NumbersAllocationsPerPageAndWritesPageMaps) {
  HeapOnNode heap(HeapClient::kPropertyContext);
  EXPECT_EQ(heap.allocate("abc"), 0x20u);
  EXPECT_EQ(heap.allocate("de"), 0x40u);
  heap.set_user_root(0x20);
  const std::vector<std::string> pages = heap.pages();
  ASSERT_EQ(pages.size(), 1u);
  const std::string& p = pages[0];
  EXPECT_EQ(p.substr(2, 2), "\xEC\xBC");
  EXPECT_EQ(load_u32(p, 4), 0x20u);
  EXPECT_EQ(load_u16(p, 0), 18u) << "page map at an even offset after 12 + 5 bytes";
  EXPECT_EQ(p.substr(18), std::string("\x02\x00\x00\x00\x0C\x00\x0F\x00\x11\x00", 10));
}

TEST(HeapOnNode, OpensPagesWithTheRightHeaders) {
  HeapOnNode heap(HeapClient::kTableContext);
  std::vector<uint32_t> hids;
  for (int i = 0; i < 19; ++i) hids.push_back(heap.allocate(std::string(kMaxHeapAllocation, static_cast<char>('a' + i))));
  const std::vector<std::string> pages = heap.pages();
  ASSERT_EQ(pages.size(), 10u) << "two largest allocations per page";
  const struct {
    size_t page;
    size_t first_offset;  // header size
  } rows[] = {{0, 12}, {1, 2}, {7, 2}, {8, 66}, {9, 2}};
  for (const auto& row : rows) {
    const std::string& p = pages[row.page];
    EXPECT_LE(p.size(), 8176u) << "page " << row.page;
    EXPECT_EQ(load_u16(p, load_u16(p, 0) + 4), row.first_offset) << "page " << row.page;
  }
  EXPECT_EQ(hids[2], 0x10020u);
  EXPECT_EQ(hids[17], 0x80040u);
  EXPECT_EQ(allocation(pages, hids[17]), std::string(kMaxHeapAllocation, 'a' + 17));
}

TEST(HeapOnNode, PageLimitRefusesANewPage) {
  HeapOnNode heap(HeapClient::kPropertyContext);
  heap.set_page_limit(1);
  EXPECT_TRUE(heap.can_allocate(kMaxHeapAllocation));
  heap.allocate(std::string(kMaxHeapAllocation, 'x'));
  heap.allocate(std::string(kMaxHeapAllocation, 'y'));
  EXPECT_TRUE(heap.can_allocate(100)) << "room is left on the page";
  EXPECT_FALSE(heap.can_allocate(kMaxHeapAllocation));
  EXPECT_FALSE(heap.can_allocate(kMaxHeapAllocation + 1)) << "never above the allocation limit";
  EXPECT_THROW(heap.allocate(std::string(kMaxHeapAllocation, 'z')), std::length_error);
}

TEST(Bth, GrowsIndexLevelsWhenLeavesOverflow) {
  const struct {
    size_t records;
    uint8_t index_levels;
    size_t leaves;
  } rows[] = {{0, 0, 0}, {1, 0, 1}, {447, 0, 1}, {448, 1, 2}, {447 * 447 + 1, 2, 448}};
  for (const auto& row : rows) {
    HeapOnNode heap(HeapClient::kTableContext);
    const BthLayout layout = reserve_bth(heap, 4, 4, row.records);
    std::vector<std::string> records;
    for (uint32_t i = 0; i < row.records; ++i) {
      std::string r;
      put_u32(r, 10 * i + 1);
      put_u32(r, i);
      records.push_back(r);
    }
    fill_bth(heap, layout, records);
    const std::vector<std::string> pages = heap.pages();
    const std::string header = allocation(pages, layout.header_hid);
    EXPECT_EQ(header.substr(0, 3), "\xB5\x04\x04") << row.records << " records";
    EXPECT_EQ(static_cast<uint8_t>(header[3]), row.index_levels) << row.records << " records";
    EXPECT_EQ(layout.levels.empty() ? 0 : layout.levels.front().size(), row.leaves) << row.records << " records";
    if (row.records == 0) {
      EXPECT_EQ(load_u32(header, 4), 0u) << "empty tree has no root";
      continue;
    }
    // Walk down the first entries to the first leaf; then check the last record.
    uint32_t node = load_u32(header, 4);
    for (int level = 0; level < row.index_levels; ++level) {
      const std::string index = allocation(pages, node);
      EXPECT_EQ(load_u32(index, 0), 1u) << "first key at level " << level;
      node = load_u32(index, 4);
    }
    EXPECT_EQ(allocation(pages, node).substr(0, 8), records.front());
    const uint32_t last_leaf = layout.levels.front().back();
    const std::string leaf = allocation(pages, last_leaf);
    EXPECT_EQ(leaf.substr(leaf.size() - 8), records.back()) << row.records << " records";
  }
}

// Property records of a PC node: property id -> (type, dwValueHnid).
std::map<uint16_t, std::pair<uint16_t, uint32_t>> pc_records(const NodeData& node) {
  const uint32_t header_hid = load_u32(node.blocks.at(0), 4);
  const std::string header = allocation(node.blocks, header_hid);
  EXPECT_EQ(static_cast<uint8_t>(header[3]), 0) << "no index levels expected";
  const std::string leaf = allocation(node.blocks, load_u32(header, 4));
  std::map<uint16_t, std::pair<uint16_t, uint32_t>> out;
  for (size_t at = 0; at < leaf.size(); at += 8) out[load_u16(leaf, at)] = {load_u16(leaf, at + 2), load_u32(leaf, at + 4)};
  return out;
}

TEST(PropertyContext, StoresEachValueWhereItsTypeBelongs) {
  PropertyList props;
  props.set_long(0x0017, 2);
  props.set_short(0x4001, 0xBEEF);
  props.set_bool(0x0E1B, true);
  props.set_filetime(0x0E06, 133476000000000000ull);
  props.set_unicode(0x0037, "Subject");
  props.set_unicode(0x3001, "");
  props.set_binary(0x1013, std::string(5000, 'h'));
  NodeBuilder builder(HeapClient::kPropertyContext);
  build_property_context(props, builder);
  const NodeData node = std::move(builder).finish();
  const auto records = pc_records(node);
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records.at(0x0017), std::make_pair(uint16_t{0x0003}, uint32_t{2}));
  EXPECT_EQ(records.at(0x4001), std::make_pair(uint16_t{0x0002}, uint32_t{0xBEEF}));
  EXPECT_EQ(records.at(0x0E1B), std::make_pair(uint16_t{0x000B}, uint32_t{1}));
  EXPECT_EQ(allocation(node.blocks, records.at(0x0E06).second), props.find(0x0E06)->value);
  EXPECT_EQ(allocation(node.blocks, records.at(0x0037).second), utf8_to_utf16le("Subject"));
  EXPECT_EQ(records.at(0x3001).second, 0u) << "empty value: HNID 0";
  const uint32_t big = records.at(0x1013).second;
  EXPECT_EQ(big & 0x1F, 0x1Fu) << "value above 3580 bytes lives in an LTP subnode";
  ASSERT_EQ(node.subnodes.size(), 1u);
  EXPECT_EQ(node.subnodes[0].nid, big);
  EXPECT_EQ(node.subnodes[0].data.stream_size(), 5000u);
}

TEST(PropertyContext, KeepsToEightPagesAndSpillsTheRest) {
  PropertyList props;
  for (uint16_t i = 0; i < 40; ++i) props.set_binary(static_cast<uint16_t>(0x6000 + i), std::string(3000, 'v'));
  props.set_filetime(0x6FFF, 1);
  NodeBuilder builder(HeapClient::kPropertyContext);
  build_property_context(props, builder);
  const NodeData node = std::move(builder).finish();
  EXPECT_EQ(node.blocks.size(), 8u);
  const auto records = pc_records(node);
  size_t in_heap = 0;
  for (const auto& [id, record] : records) {
    if ((record.second & 0x1F) == 0) ++in_heap;
  }
  EXPECT_EQ(in_heap + node.subnodes.size(), records.size());
  EXPECT_GT(node.subnodes.size(), 0u);
  EXPECT_EQ(records.at(0x6FFF).second & 0x1F, 0u) << "8-byte values always stay in the heap";
}

TEST(TableContext, LaysOutCellsBySizeWithExistenceBits) {
  PropertyList full, partial;
  full.set_filetime(0x0E06, 0x0102030405060708ull);
  full.set_long(0x0E07, 7);
  full.set_unicode(0x0037, "S");
  full.set_short(0x4000, 9);
  full.set_bool(0x0E1B, true);
  partial.set_long(0x0E07, 8);
  partial.set_unicode(0x0037, "x");  // the column is PT_UNICODE: taken
  partial.set_string8(0x4000, "no");  // wrong type for a PT_SHORT column: absent
  const std::vector<uint32_t> columns = {0x0E060040, 0x0E070003, 0x0037001F, 0x40000002, 0x0E1B000B};
  NodeBuilder builder(HeapClient::kTableContext);
  build_table_context(columns, {{0x100, &full}, {0x80, &partial}}, builder);
  const NodeData node = std::move(builder).finish();
  const std::string info = allocation(node.blocks, load_u32(node.blocks[0], 4));
  EXPECT_EQ(static_cast<uint8_t>(info[1]), 7) << "five columns plus RowId and RowVer";
  EXPECT_EQ(load_u16(info, 2), 24u) << "RowId, RowVer, FILETIME, long, HNID";
  EXPECT_EQ(load_u16(info, 4), 26u);
  EXPECT_EQ(load_u16(info, 6), 27u);
  EXPECT_EQ(load_u16(info, 8), 28u) << "one existence byte";
  for (size_t c = 1; c < 7; ++c) EXPECT_LT(load_u32(info, 22 + 8 * (c - 1)), load_u32(info, 22 + 8 * c)) << "sorted by tag";
  const std::string matrix = allocation(node.blocks, load_u32(info, 14));
  ASSERT_EQ(matrix.size(), 56u);
  EXPECT_EQ(load_u32(matrix, 0), 0x100u);
  EXPECT_EQ(load_u64(matrix, 8), 0x0102030405060708ull);
  EXPECT_EQ(static_cast<uint8_t>(matrix[27]), 0xFE) << "all seven cells of row 1";
  EXPECT_EQ(load_u32(matrix, 28), 0x80u);
  EXPECT_EQ(static_cast<uint8_t>(matrix[28 + 27]), 0xD8) << "RowId, RowVer, long and string only";
  const std::string index_header = allocation(node.blocks, load_u32(info, 10));
  const std::string index = allocation(node.blocks, load_u32(index_header, 4));
  EXPECT_EQ(load_u32(index, 0), 0x80u) << "row index sorted by row id";
  EXPECT_EQ(load_u32(index, 4), 1u);
}

TEST(TableContext, PutsALargeRowMatrixInWholeRowBlocks) {
  std::vector<PropertyList> cells(1000);
  std::vector<TableRow> rows;
  for (uint32_t i = 0; i < cells.size(); ++i) {
    cells[i].set_long(0x0E07, i);
    rows.push_back({i + 1, &cells[i]});
  }
  NodeBuilder builder(HeapClient::kTableContext);
  build_table_context({0x0E070003}, rows, builder);
  const NodeData node = std::move(builder).finish();
  const std::string info = allocation(node.blocks, load_u32(node.blocks[0], 4));
  const size_t row_size = load_u16(info, 8);
  ASSERT_EQ(row_size, 13u);
  ASSERT_EQ(node.subnodes.size(), 1u);
  EXPECT_EQ(load_u32(info, 14), node.subnodes[0].nid);
  const std::vector<std::string>& blocks = node.subnodes[0].data.blocks;
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].size(), 8176 / row_size * row_size);
  EXPECT_EQ(blocks[0].size() + blocks[1].size(), 1000 * row_size);
  EXPECT_EQ(load_u32(blocks[1], 0), 8176 / row_size + 1) << "second block starts with a whole row";
}

}  // namespace
}  // namespace pstgen
