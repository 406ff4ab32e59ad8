// Heap-on-node: the allocator that property and table contexts keep their
// structures in. Each heap page is one data block of the node; page 0 starts
// with HNHDR, page 8 and every 128th after it with HNBITMAPHDR, the others
// with HNPAGEHDR; every page ends with its HNPAGEMAP.
#ifndef PSTGEN_HEAP_ON_NODE_H_
#define PSTGEN_HEAP_ON_NODE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pstgen {

// Largest single heap allocation; larger values live in a subnode.
constexpr size_t kMaxHeapAllocation = 3580;

// bClientSig values.
enum class HeapClient : uint8_t {
  kTableContext = 0x7C,
  kBtreeOnHeap = 0xB5,
  kPropertyContext = 0xBC,
};

// A heap id: block index in the high 16 bits, 1-based allocation index in
// bits 5..15, type 0 in the low 5 bits. 0 means "no allocation".
constexpr uint32_t make_hid(uint32_t block, uint32_t index) { return (block << 16) | (index << 5); }

class HeapOnNode {
 public:
  explicit HeapOnNode(HeapClient client) : client_(client), pages_(1) {}

  // Stores `bytes` and returns its HID. Allocations fill pages in order and
  // a page is closed when the next one does not fit.
  // REQUIRES: 0 < bytes.size() <= kMaxHeapAllocation.
  uint32_t allocate(std::string_view bytes);
  // Whether allocate(size) would stay within the page limit.
  bool can_allocate(size_t size) const;
  // Limits the heap to `pages` pages (0, the default: no limit); allocate
  // throws std::length_error beyond it.
  void set_page_limit(size_t pages) { page_limit_ = pages; }
  // Replaces the content of an earlier allocation. REQUIRES: same size.
  void overwrite(uint32_t hid, std::string_view bytes);
  // The client's root structure (hidUserRoot).
  void set_user_root(uint32_t hid) { user_root_ = hid; }

  // The heap's pages, each a complete data block payload (<= 8176 bytes).
  std::vector<std::string> pages() const;

 private:
  struct Page {
    std::vector<std::string> allocations;
    size_t used = 0;  // bytes of all allocations
  };

  // Whether `size` more bytes fit the last page.
  bool fits_last_page(size_t size) const;
  // HNHDR, HNBITMAPHDR or HNPAGEHDR of page `index`; `levels` has the fill
  // level of every page.
  std::string page_header(size_t index, const std::vector<uint8_t>& levels) const;

  HeapClient client_;
  uint32_t user_root_ = 0;
  size_t page_limit_ = 0;
  std::vector<Page> pages_;
};

}  // namespace pstgen

#endif  // PSTGEN_HEAP_ON_NODE_H_
