#include "header.h"

#include <string_view>

#include "bytes.h"
#include "crc.h"

namespace pstgen {
namespace {

constexpr uint16_t kVersionUnicode = 23;
constexpr uint16_t kClientVersion = 19;
constexpr uint8_t kAmapValid2 = 2;
constexpr uint8_t kSentinel = 0x80;
constexpr uint8_t kCryptNone = 0;
// Ranges covered by the two header CRCs (start, length).
constexpr size_t kPartialCrcStart = 8, kPartialCrcLength = 471;
constexpr size_t kFullCrcStart = 8, kFullCrcLength = 516;
constexpr size_t kPartialCrcOffset = 4, kFullCrcOffset = 524;

void put_root(std::string& out, const HeaderFields& f) {
  put_u32(out, 0);
  put_u64(out, f.file_eof);
  put_u64(out, f.last_amap);
  put_u64(out, f.amap_free);
  put_u64(out, 0);  // cbPMapFree: the PMaps are deprecated
  put_u64(out, f.node_btree_root.bid);
  put_u64(out, f.node_btree_root.ib);
  put_u64(out, f.block_btree_root.bid);
  put_u64(out, f.block_btree_root.ib);
  put_u8(out, kAmapValid2);
  put_u8(out, 0);
  put_u16(out, 0);
}

}  // namespace

std::string make_header(const HeaderFields& f) {
  std::string out = "!BDN";
  put_u32(out, 0);  // dwCRCPartial, filled in below
  out += "SM";
  put_u16(out, kVersionUnicode);
  put_u16(out, kClientVersion);
  put_u8(out, 1);  // bPlatformCreate
  put_u8(out, 1);  // bPlatformAccess
  put_u32(out, 0);
  put_u32(out, 0);
  put_u64(out, 0);  // bidUnused
  put_u64(out, f.next_page_bid);
  put_u32(out, f.unique);
  for (uint32_t next : f.next_nid_index) put_u32(out, next);
  put_u64(out, 0);  // qwUnused
  put_root(out, f);
  put_u32(out, 0);  // dwAlign
  out.append(128, '\xFF');  // rgbFM (deprecated)
  out.append(128, '\xFF');  // rgbFP (deprecated)
  put_u8(out, kSentinel);
  put_u8(out, kCryptNone);
  put_u16(out, 0);
  put_u64(out, f.next_block_bid);
  put_u32(out, 0);  // dwCRCFull, filled in below
  out.append(kHeaderSize - out.size(), '\0');
  const std::string_view view(out);
  store_u32(out, kPartialCrcOffset, pst_crc(view.substr(kPartialCrcStart, kPartialCrcLength)));
  store_u32(out, kFullCrcOffset, pst_crc(std::string_view(out).substr(kFullCrcStart, kFullCrcLength)));
  return out;
}

}  // namespace pstgen
