// Placement of blocks and pages in the file and the allocation maps that
// describe it. The file is a sequence of AMap ranges of 253,952 bytes from
// offset 0x4400; each range begins with its AMap page, every eighth range
// also with a PMap page. Space is handed out in increasing order, so the
// whole layout is kept as one bitmap per range.
//
// Left out: the density list page at 0x4200 (optional; the mail client
// rebuilds it) and the FMap/FPMap pages that files beyond 128 ranges carry
// for the mail client's free-space search. Neither reader consults any of
// the maps.
#ifndef PSTGEN_FILE_LAYOUT_H_
#define PSTGEN_FILE_LAYOUT_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pstgen {

constexpr uint64_t kFirstAmapOffset = 0x4400;
constexpr uint64_t kAmapRangeSize = 496 * 8 * 64;
constexpr uint64_t kAllocationUnit = 64;

class FileLayout {
 public:
  // Offset of `size` bytes aligned to `alignment`, after every earlier
  // allocation and inside one range. REQUIRES: size and alignment are
  // multiples of 64, alignment a power of two, size <= 8192.
  uint64_t allocate(uint64_t size, uint64_t alignment);

  // Offset of the AMap page of the last range in use.
  uint64_t last_amap_offset() const;
  // End of the file: the end of the last range in use.
  uint64_t file_end() const;
  // Bytes of the file that the maps mark free.
  uint64_t free_bytes() const;
  // Every AMap and PMap page with its offset, in file order.
  std::vector<std::pair<uint64_t, std::string>> map_pages() const;

 private:
  void open_range(uint64_t index);
  void mark(uint64_t offset, uint64_t size);

  std::vector<std::string> bitmaps_;  // one 496-byte AMap bitmap per range
  uint64_t cursor_ = 0;               // end of the last allocation; 0 before the first
};

}  // namespace pstgen

#endif  // PSTGEN_FILE_LAYOUT_H_
