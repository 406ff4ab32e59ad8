#include "table_context.h"

#include <algorithm>
#include <stdexcept>

#include "bth.h"
#include "bytes.h"
#include "data_tree.h"

namespace pstgen {
namespace {

constexpr uint8_t kTableType = 0x7C;
constexpr size_t kTcInfoFixedSize = 22;
constexpr size_t kColumnDescSize = 8;
constexpr uint8_t kRowIndexKeySize = 4;
constexpr uint8_t kRowIndexDataSize = 4;
constexpr size_t kMaxColumns = 255;

struct Column {
  uint32_t tag = 0;
  uint16_t offset = 0;
  uint8_t width = 0;
  uint8_t bit = 0;  // position in the cell existence block
};

uint8_t cell_width(uint32_t tag) {
  const size_t fixed = fixed_value_size(tag_type(tag));
  return static_cast<uint8_t>(fixed == 0 ? 4 : fixed);
}

struct Layout {
  std::vector<Column> columns;  // in cell order
  uint16_t end_4b = 0, end_2b = 0, end_1b = 0, row_size = 0;
};

// Cell order: RowId, RowVer, then 8-, 4-, 2- and 1-byte cells, each group by
// tag; existence bits follow cell order.
Layout make_layout(std::vector<uint32_t> tags) {
  tags.erase(std::remove_if(tags.begin(), tags.end(),
                            [](uint32_t t) { return t == kTagLtpRowId || t == kTagLtpRowVer; }),
             tags.end());
  std::sort(tags.begin(), tags.end());
  tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
  if (tags.size() + 2 > kMaxColumns) throw std::invalid_argument("too many table columns");
  Layout layout;
  layout.columns.push_back({kTagLtpRowId, 0, 4, 0});
  layout.columns.push_back({kTagLtpRowVer, 4, 4, 1});
  uint16_t offset = 8;
  for (const uint8_t width : {uint8_t{8}, uint8_t{4}, uint8_t{2}, uint8_t{1}}) {
    for (uint32_t tag : tags) {
      if (cell_width(tag) != width) continue;
      layout.columns.push_back({tag, offset, width, static_cast<uint8_t>(layout.columns.size())});
      offset = static_cast<uint16_t>(offset + width);
    }
    if (width == 4) layout.end_4b = offset;
    if (width == 2) layout.end_2b = offset;
    if (width == 1) layout.end_1b = offset;
  }
  layout.row_size = static_cast<uint16_t>(offset + (layout.columns.size() + 7) / 8);
  return layout;
}

void set_bit(std::string& row, size_t ceb_offset, uint8_t bit) {
  char& byte = row[ceb_offset + bit / 8];
  byte = static_cast<char>(static_cast<uint8_t>(byte) | (0x80u >> (bit % 8)));
}

std::string make_row(const Layout& layout, const TableRow& in, NodeBuilder& node) {
  std::string row(layout.row_size, '\0');
  store_u32(row, 0, in.row_id);
  store_u32(row, 4, 0);  // RowVer
  set_bit(row, layout.end_1b, 0);
  set_bit(row, layout.end_1b, 1);
  for (size_t c = 2; c < layout.columns.size(); ++c) {
    const Column& col = layout.columns[c];
    const Property* p = in.cells->find(tag_id(col.tag));
    if (p == nullptr || p->tag != col.tag) continue;
    if (fixed_value_size(tag_type(col.tag)) == 0) {
      store_u32(row, col.offset, node.store_variable(p->value));
    } else {
      row.replace(col.offset, col.width, p->value);
    }
    set_bit(row, layout.end_1b, col.bit);
  }
  return row;
}

std::string make_tcinfo(const Layout& layout, uint32_t row_index_hid, uint32_t rows_hnid) {
  std::string info;
  put_u8(info, kTableType);
  put_u8(info, static_cast<uint8_t>(layout.columns.size()));
  put_u16(info, layout.end_4b);
  put_u16(info, layout.end_2b);
  put_u16(info, layout.end_1b);
  put_u16(info, layout.row_size);
  put_u32(info, row_index_hid);
  put_u32(info, rows_hnid);
  put_u32(info, 0);  // hidIndex (deprecated)
  std::vector<Column> by_tag = layout.columns;
  std::sort(by_tag.begin(), by_tag.end(), [](const Column& a, const Column& b) { return a.tag < b.tag; });
  for (const Column& col : by_tag) {
    put_u32(info, col.tag);
    put_u16(info, col.offset);
    put_u8(info, col.width);
    put_u8(info, col.bit);
  }
  return info;
}

// Stores the row matrix: in the heap when it fits one allocation, else in a
// subnode whose blocks each hold as many whole rows as fit.
uint32_t store_rows(const std::vector<std::string>& rows, size_t row_size, NodeBuilder& node) {
  if (rows.empty()) return 0;
  if (rows.size() * row_size <= kMaxHeapAllocation) {
    std::string matrix;
    for (const std::string& r : rows) matrix += r;
    return node.heap().allocate(matrix);
  }
  const size_t per_block = kMaxBlockData / row_size;
  std::vector<std::string> blocks;
  for (size_t first = 0; first < rows.size(); first += per_block) {
    std::string block;
    for (size_t i = first; i < rows.size() && i < first + per_block; ++i) block += rows[i];
    blocks.push_back(std::move(block));
  }
  return node.store_blocks(std::move(blocks));
}

std::vector<std::string> make_row_index(const std::vector<TableRow>& rows) {
  std::vector<std::pair<uint32_t, uint32_t>> keys;
  for (size_t i = 0; i < rows.size(); ++i) keys.emplace_back(rows[i].row_id, static_cast<uint32_t>(i));
  std::sort(keys.begin(), keys.end());
  std::vector<std::string> records;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i > 0 && keys[i].first == keys[i - 1].first) throw std::invalid_argument("duplicate table row id");
    std::string rec;
    put_u32(rec, keys[i].first);
    put_u32(rec, keys[i].second);
    records.push_back(std::move(rec));
  }
  return records;
}

}  // namespace

void build_table_context(const std::vector<uint32_t>& columns, const std::vector<TableRow>& rows,
                         NodeBuilder& node) {
  const Layout layout = make_layout(columns);
  HeapOnNode& heap = node.heap();
  const uint32_t info_hid = heap.allocate(std::string(kTcInfoFixedSize + kColumnDescSize * layout.columns.size(), '\0'));
  heap.set_user_root(info_hid);
  const BthLayout row_index = reserve_bth(heap, kRowIndexKeySize, kRowIndexDataSize, rows.size());
  std::vector<std::string> matrix;
  for (const TableRow& row : rows) matrix.push_back(make_row(layout, row, node));
  const uint32_t rows_hnid = store_rows(matrix, layout.row_size, node);
  fill_bth(heap, row_index, make_row_index(rows));
  heap.overwrite(info_hid, make_tcinfo(layout, row_index.header_hid, rows_hnid));
}

}  // namespace pstgen
