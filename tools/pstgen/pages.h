// The 512-byte pages of the node database: B-tree pages of the node and block
// B-trees, and the allocation-map pages.
#ifndef PSTGEN_PAGES_H_
#define PSTGEN_PAGES_H_

#include <cstdint>
#include <string>
#include <vector>

namespace pstgen {

constexpr uint64_t kPageSize = 512;
constexpr size_t kPageDataSize = 496;  // bytes before the page trailer
constexpr size_t kBtreeEntryArea = 488;

enum class PageType : uint8_t {
  kBlockBtree = 0x80,
  kNodeBtree = 0x81,
  kPmap = 0x83,
  kAmap = 0x84,
};

constexpr size_t kBtEntrySize = 24;    // intermediate entries of both trees
constexpr size_t kBbtEntrySize = 24;   // block B-tree leaf entries
constexpr size_t kNbtEntrySize = 32;   // node B-tree leaf entries
constexpr size_t entries_per_page(size_t entry_size) { return kBtreeEntryArea / entry_size; }

// Reference to a block or page: its id and file offset.
struct Bref {
  uint64_t bid = 0;
  uint64_t ib = 0;
};

// A block B-tree leaf entry.
struct BbtEntry {
  Bref ref;
  uint16_t cb = 0;  // data bytes in the block, without padding and trailer
};

// A node B-tree leaf entry. NIDs are 32-bit, zero-extended on disk.
struct NbtEntry {
  uint32_t nid = 0;
  uint64_t bid_data = 0;
  uint64_t bid_sub = 0;  // 0: the node has no subnodes
  uint32_t nid_parent = 0;
};

std::string encode_bbt_entry(const BbtEntry& e);
std::string encode_nbt_entry(const NbtEntry& e);
// An intermediate entry: lowest key of the child page and the child's Bref.
std::string encode_bt_entry(uint64_t key, const Bref& child);

// A complete B-tree page at file offset `ib` with id `bid`. `entries` are
// encoded entries of `entry_size` bytes, sorted by key; `level` is 0 for a
// leaf. REQUIRES: 0 < entries.size() <= entries_per_page(entry_size).
std::string make_btree_page(PageType type, const std::vector<std::string>& entries,
                            size_t entry_size, uint8_t level, const Bref& self);

// An AMap page holding `bitmap` (496 bytes), at file offset `ib`.
std::string make_amap_page(const std::string& bitmap, uint64_t ib);
// A PMap page (deprecated; every page marked in use), at file offset `ib`.
std::string make_pmap_page(uint64_t ib);

}  // namespace pstgen

#endif  // PSTGEN_PAGES_H_
