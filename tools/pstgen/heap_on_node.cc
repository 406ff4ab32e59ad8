#include "heap_on_node.h"

#include <stdexcept>

#include "bytes.h"
#include "data_tree.h"

namespace pstgen {
namespace {

constexpr uint8_t kHeapSignature = 0xEC;
constexpr size_t kFirstHeaderSize = 12;    // HNHDR
constexpr size_t kBitmapHeaderSize = 66;   // HNBITMAPHDR
constexpr size_t kPageHeaderSize = 2;      // HNPAGEHDR
constexpr size_t kMaxAllocationsPerPage = 2047;  // an 11-bit HID index
constexpr size_t kFillLevelsPerBitmap = 128;

bool is_bitmap_page(size_t index) { return index >= 8 && (index - 8) % kFillLevelsPerBitmap == 0; }

size_t header_size(size_t index) {
  if (index == 0) return kFirstHeaderSize;
  return is_bitmap_page(index) ? kBitmapHeaderSize : kPageHeaderSize;
}

// Page bytes for a page with `count` allocations of `used` bytes in total:
// header, allocations, padding to an even offset, HNPAGEMAP.
size_t page_size(size_t index, size_t count, size_t used) {
  return round_up(header_size(index) + used, 2) + 4 + 2 * (count + 1);
}

// The 4-bit fill level of a page with `free_bytes` unused bytes.
uint8_t fill_level(size_t free_bytes) {
  static constexpr size_t kLowerBounds[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                            512,  256,  128,  64,   32,   16,   8};
  uint8_t level = 0;
  for (size_t bound : kLowerBounds) {
    if (free_bytes >= bound) return level;
    ++level;
  }
  return level;
}

// Appends the fill levels of pages first..first+count-1 (0 past the last
// page), two per byte, the lower page in the low nibble.
void put_fill_levels(std::string& out, const std::vector<uint8_t>& levels, size_t first, size_t count) {
  for (size_t k = first; k < first + count; k += 2) {
    const uint8_t lo = k < levels.size() ? levels[k] : 0;
    const uint8_t hi = k + 1 < levels.size() ? levels[k + 1] : 0;
    put_u8(out, static_cast<uint8_t>(lo | (hi << 4)));
  }
}

}  // namespace

bool HeapOnNode::fits_last_page(size_t size) const {
  const Page& page = pages_.back();
  const size_t count = page.allocations.size();
  return count < kMaxAllocationsPerPage &&
         page_size(pages_.size() - 1, count + 1, page.used + size) <= kMaxBlockData;
}

bool HeapOnNode::can_allocate(size_t size) const {
  return size > 0 && size <= kMaxHeapAllocation &&
         (fits_last_page(size) || page_limit_ == 0 || pages_.size() < page_limit_);
}

uint32_t HeapOnNode::allocate(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > kMaxHeapAllocation) throw std::logic_error("bad heap allocation size");
  if (!can_allocate(bytes.size())) throw std::length_error("heap page limit reached");
  if (!fits_last_page(bytes.size())) pages_.emplace_back();
  const size_t index = pages_.size() - 1;
  Page* page = &pages_.back();
  page->allocations.emplace_back(bytes);
  page->used += bytes.size();
  return make_hid(static_cast<uint32_t>(index), static_cast<uint32_t>(page->allocations.size()));
}

void HeapOnNode::overwrite(uint32_t hid, std::string_view bytes) {
  std::string& target = pages_.at(hid >> 16).allocations.at(((hid >> 5) & 0x7FF) - 1);
  if (target.size() != bytes.size()) throw std::logic_error("heap overwrite changes the size");
  target.assign(bytes);
}

std::vector<std::string> HeapOnNode::pages() const {
  std::vector<uint8_t> levels;
  for (size_t i = 0; i < pages_.size(); ++i) {
    const Page& p = pages_[i];
    levels.push_back(fill_level(kMaxBlockData - page_size(i, p.allocations.size(), p.used)));
  }
  std::vector<std::string> out;
  for (size_t i = 0; i < pages_.size(); ++i) {
    const Page& p = pages_[i];
    std::string page = page_header(i, levels);
    std::vector<uint16_t> starts;
    for (const std::string& a : p.allocations) {
      starts.push_back(static_cast<uint16_t>(page.size()));
      page += a;
    }
    starts.push_back(static_cast<uint16_t>(page.size()));
    page.resize(load_u16(page, 0), '\0');
    put_u16(page, static_cast<uint16_t>(p.allocations.size()));
    put_u16(page, 0);  // cFree
    for (uint16_t start : starts) put_u16(page, start);
    out.push_back(std::move(page));
  }
  return out;
}

std::string HeapOnNode::page_header(size_t index, const std::vector<uint8_t>& levels) const {
  const Page& p = pages_[index];
  std::string header;
  put_u16(header, static_cast<uint16_t>(round_up(header_size(index) + p.used, 2)));  // ibHnpm
  if (index == 0) {
    put_u8(header, kHeapSignature);
    put_u8(header, static_cast<uint8_t>(client_));
    put_u32(header, user_root_);
    put_fill_levels(header, levels, 0, 8);
  } else if (is_bitmap_page(index)) {
    put_fill_levels(header, levels, index, kFillLevelsPerBitmap);
  }
  return header;
}

}  // namespace pstgen
