// The file header of a Unicode archive (wVer 23, no encryption).
#ifndef PSTGEN_HEADER_H_
#define PSTGEN_HEADER_H_

#include <array>
#include <cstdint>
#include <string>

#include "pages.h"

namespace pstgen {

constexpr size_t kHeaderSize = 564;

struct HeaderFields {
  uint64_t next_page_bid = 0;    // bidNextP: above every page BID used
  uint64_t next_block_bid = 0;   // bidNextB: above every block BID used
  uint32_t unique = 0;           // dwUnique
  std::array<uint32_t, 32> next_nid_index{};  // rgnid, indexed by NID type
  uint64_t file_eof = 0;
  uint64_t last_amap = 0;        // offset of the last AMap page
  uint64_t amap_free = 0;        // free bytes according to the AMaps
  Bref node_btree_root;
  Bref block_btree_root;
};

// The 564 header bytes with both CRCs filled in.
std::string make_header(const HeaderFields& fields);

}  // namespace pstgen

#endif  // PSTGEN_HEADER_H_
