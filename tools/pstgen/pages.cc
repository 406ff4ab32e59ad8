#include "pages.h"

#include <stdexcept>

#include "bytes.h"
#include "crc.h"

namespace pstgen {
namespace {

// Appends the 16-byte page trailer to the 496 bytes of `page`. Map pages carry
// a zero signature and their own offset as id.
void add_trailer(std::string& page, PageType type, uint16_t signature, uint64_t bid) {
  const uint32_t crc = pst_crc(page);
  put_u8(page, static_cast<uint8_t>(type));
  put_u8(page, static_cast<uint8_t>(type));
  put_u16(page, signature);
  put_u32(page, crc);
  put_u64(page, bid);
}

}  // namespace

std::string encode_bbt_entry(const BbtEntry& e) {
  std::string out;
  put_u64(out, e.ref.bid);
  put_u64(out, e.ref.ib);
  put_u16(out, e.cb);
  put_u16(out, 2);  // cRef: one reference from the node tree, plus the tree's own
  put_u32(out, 0);
  return out;
}

std::string encode_nbt_entry(const NbtEntry& e) {
  std::string out;
  put_u64(out, e.nid);
  put_u64(out, e.bid_data);
  put_u64(out, e.bid_sub);
  put_u32(out, e.nid_parent);
  put_u32(out, 0);
  return out;
}

std::string encode_bt_entry(uint64_t key, const Bref& child) {
  std::string out;
  put_u64(out, key);
  put_u64(out, child.bid);
  put_u64(out, child.ib);
  return out;
}

std::string make_btree_page(PageType type, const std::vector<std::string>& entries,
                            size_t entry_size, uint8_t level, const Bref& self) {
  const size_t capacity = entries_per_page(entry_size);
  if (entries.empty() || entries.size() > capacity) {
    throw std::logic_error("B-tree page entry count out of range");
  }
  std::string page;
  page.reserve(kPageSize);
  for (const std::string& e : entries) page += e;
  page.resize(kBtreeEntryArea, '\0');
  put_u8(page, static_cast<uint8_t>(entries.size()));
  put_u8(page, static_cast<uint8_t>(capacity));
  put_u8(page, static_cast<uint8_t>(entry_size));
  put_u8(page, level);
  put_u32(page, 0);
  add_trailer(page, type, block_signature(self.ib, self.bid), self.bid);
  return page;
}

std::string make_amap_page(const std::string& bitmap, uint64_t ib) {
  std::string page = bitmap;
  page.resize(kPageDataSize, '\0');
  add_trailer(page, PageType::kAmap, 0, ib);
  return page;
}

std::string make_pmap_page(uint64_t ib) {
  std::string page(kPageDataSize, '\xFF');
  add_trailer(page, PageType::kPmap, 0, ib);
  return page;
}

}  // namespace pstgen
