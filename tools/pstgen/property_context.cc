#include "property_context.h"

#include "bth.h"
#include "bytes.h"

namespace pstgen {
namespace {

constexpr uint8_t kPcKeySize = 2;
constexpr uint8_t kPcDataSize = 6;

// libpff (20180714) caches 8 blocks of a node's data and keeps a pointer
// into the block of the BTH leaf while it reads the values; a ninth heap
// page evicts that block and the rest of the leaf is read as garbage. So a
// property context keeps to 8 pages, and variable values beyond go to
// subnodes.
constexpr size_t kMaxPropertyContextPages = 8;

bool is_inline(uint16_t type) {
  const size_t fixed = fixed_value_size(type);
  return fixed != 0 && fixed <= 4;
}

uint32_t inline_value(const Property& p) {
  std::string cell = p.value;
  cell.resize(4, '\0');
  return load_u32(cell, 0);
}

}  // namespace

void build_property_context(const PropertyList& props, NodeBuilder& node) {
  HeapOnNode& heap = node.heap();
  heap.set_page_limit(kMaxPropertyContextPages);
  const std::vector<Property>& items = props.items();
  const BthLayout tree = reserve_bth(heap, kPcKeySize, kPcDataSize, items.size());
  heap.set_user_root(tree.header_hid);
  // Fixed 8-byte values must be heap allocations, so they are placed before
  // the variable ones, which may spill to subnodes.
  std::vector<uint32_t> refs(items.size(), 0);
  for (size_t i = 0; i < items.size(); ++i) {
    const uint16_t type = tag_type(items[i].tag);
    if (is_inline(type)) refs[i] = inline_value(items[i]);
    if (fixed_value_size(type) == 8) refs[i] = heap.allocate(items[i].value);
  }
  for (size_t i = 0; i < items.size(); ++i) {
    if (fixed_value_size(tag_type(items[i].tag)) == 0) refs[i] = node.store_variable(items[i].value);
  }
  std::vector<std::string> records;
  for (size_t i = 0; i < items.size(); ++i) {
    std::string record;
    put_u16(record, tag_id(items[i].tag));
    put_u16(record, tag_type(items[i].tag));
    put_u32(record, refs[i]);
    records.push_back(std::move(record));
  }
  fill_bth(heap, tree, records);
}

}  // namespace pstgen
