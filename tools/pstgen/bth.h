// B-tree-on-heap: sorted fixed-size records stored in a heap, with index
// levels once the records no longer fit one allocation.
//
// Building is split in two so that the tree's allocations can come first in
// the heap: reserve_bth allocates the header and every node for a known
// number of records, fill_bth writes them once the records (which may hold
// HIDs of later allocations) are known.
#ifndef PSTGEN_BTH_H_
#define PSTGEN_BTH_H_

#include <cstdint>
#include <string>
#include <vector>

#include "heap_on_node.h"

namespace pstgen {

constexpr size_t kBthHeaderSize = 8;

// The allocations of one reserved tree.
struct BthLayout {
  uint32_t header_hid = 0;
  uint8_t key_size = 0;
  uint8_t data_size = 0;
  size_t record_count = 0;
  // Node HIDs by level, leaves first; the last level holds the root alone.
  std::vector<std::vector<uint32_t>> levels;
};

// Records per node for records of `record_size` bytes.
constexpr size_t bth_records_per_node(size_t record_size) { return kMaxHeapAllocation / record_size; }

// Allocates a header and the nodes for `record_count` records.
// REQUIRES: key_size in {2, 4, 8, 16}.
BthLayout reserve_bth(HeapOnNode& heap, uint8_t key_size, uint8_t data_size, size_t record_count);

// Writes `records` (each key + data, sorted ascending by unique key) into the
// reserved tree. No records gives hidRoot 0.
// REQUIRES: records.size() == layout.record_count, each of the stated size.
void fill_bth(HeapOnNode& heap, const BthLayout& layout, const std::vector<std::string>& records);

}  // namespace pstgen

#endif  // PSTGEN_BTH_H_
