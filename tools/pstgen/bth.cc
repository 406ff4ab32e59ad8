#include "bth.h"

#include <algorithm>
#include <stdexcept>

#include "bytes.h"

namespace pstgen {
namespace {

constexpr uint8_t kBthType = 0xB5;
constexpr size_t kHidSize = 4;

// Writes `records` into the nodes of one level, in order, and returns the
// index records (first key, node HID) that point at them.
std::vector<std::string> fill_level(HeapOnNode& heap, const std::vector<uint32_t>& nodes,
                                    const std::vector<std::string>& records, size_t key_size) {
  const size_t per_node = bth_records_per_node(records.front().size());
  std::vector<std::string> parents;
  for (size_t n = 0; n < nodes.size(); ++n) {
    std::string node;
    for (size_t i = n * per_node; i < records.size() && i < (n + 1) * per_node; ++i) node += records[i];
    heap.overwrite(nodes[n], node);
    std::string parent = records[n * per_node].substr(0, key_size);
    put_u32(parent, nodes[n]);
    parents.push_back(std::move(parent));
  }
  return parents;
}

}  // namespace

BthLayout reserve_bth(HeapOnNode& heap, uint8_t key_size, uint8_t data_size, size_t record_count) {
  BthLayout layout;
  layout.header_hid = heap.allocate(std::string(kBthHeaderSize, '\0'));
  layout.key_size = key_size;
  layout.data_size = data_size;
  layout.record_count = record_count;
  size_t count = record_count;
  size_t record_size = size_t{key_size} + data_size;
  while (count > 0) {
    const size_t per_node = bth_records_per_node(record_size);
    std::vector<uint32_t> level;
    for (size_t first = 0; first < count; first += per_node) {
      const size_t in_node = std::min(per_node, count - first);
      level.push_back(heap.allocate(std::string(in_node * record_size, '\0')));
    }
    layout.levels.push_back(std::move(level));
    if (layout.levels.back().size() == 1) break;
    count = layout.levels.back().size();
    record_size = key_size + kHidSize;
  }
  return layout;
}

void fill_bth(HeapOnNode& heap, const BthLayout& layout, const std::vector<std::string>& records) {
  if (records.size() != layout.record_count) throw std::logic_error("BTH record count changed");
  for (const std::string& r : records) {
    if (r.size() != size_t{layout.key_size} + layout.data_size) throw std::logic_error("BTH record of the wrong size");
  }
  std::vector<std::string> level_records = records;
  for (const std::vector<uint32_t>& nodes : layout.levels) {
    level_records = fill_level(heap, nodes, level_records, layout.key_size);
  }
  std::string header;
  put_u8(header, kBthType);
  put_u8(header, layout.key_size);
  put_u8(header, layout.data_size);
  put_u8(header, static_cast<uint8_t>(layout.levels.empty() ? 0 : layout.levels.size() - 1));
  put_u32(header, layout.levels.empty() ? 0 : layout.levels.back().front());
  heap.overwrite(layout.header_hid, header);
}

}  // namespace pstgen
