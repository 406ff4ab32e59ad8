// Layout of node data in blocks: how a byte stream is cut into data blocks,
// and the internal blocks that tie blocks together (XBLOCK/XXBLOCK data
// trees, SLBLOCK/SIBLOCK subnode trees). Pure functions; NdbWriter writes
// what they produce.
#ifndef PSTGEN_DATA_TREE_H_
#define PSTGEN_DATA_TREE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pstgen {

constexpr size_t kMaxBlockSize = 8192;
constexpr size_t kBlockTrailerSize = 16;
constexpr size_t kMaxBlockData = kMaxBlockSize - kBlockTrailerSize;  // 8176
// Child BIDs per XBLOCK/XXBLOCK and entries per SLBLOCK/SIBLOCK.
constexpr size_t kMaxXblockEntries = (kMaxBlockData - 8) / 8;    // 1021
constexpr size_t kMaxSlblockEntries = (kMaxBlockData - 8) / 24;  // 340
constexpr size_t kMaxSiblockEntries = (kMaxBlockData - 8) / 16;  // 510

// Bytes a block with `cb` data bytes takes in the file (trailer and padding
// to 64 included).
constexpr uint64_t block_disk_size(size_t cb) {
  return (cb + kBlockTrailerSize + 63) / 64 * 64;
}

// `data` cut into consecutive pieces of kMaxBlockData bytes, the last one
// shorter. An empty stream gives no pieces.
std::vector<std::string_view> split_stream(std::string_view data);

// An XBLOCK (level 1, children are data blocks) or XXBLOCK (level 2, children
// are XBLOCKs) covering `total_size` bytes. REQUIRES: 1 <= children <= 1021.
std::string make_xblock(uint8_t level, uint32_t total_size, const std::vector<uint64_t>& children);

// One entry of a subnode tree leaf.
struct SlEntry {
  uint32_t nid = 0;
  uint64_t bid_data = 0;
  uint64_t bid_sub = 0;
};

// An SLBLOCK. REQUIRES: 1 <= entries <= 340, sorted by nid.
std::string make_slblock(const std::vector<SlEntry>& entries);

// One entry of a subnode tree intermediate block: first nid of the child.
struct SiEntry {
  uint32_t nid = 0;
  uint64_t bid = 0;  // an SLBLOCK
};

// An SIBLOCK. REQUIRES: 1 <= entries <= 510, sorted by nid.
std::string make_siblock(const std::vector<SiEntry>& entries);

}  // namespace pstgen

#endif  // PSTGEN_DATA_TREE_H_
