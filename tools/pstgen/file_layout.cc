#include "file_layout.h"

#include <stdexcept>

#include "bytes.h"
#include "pages.h"

namespace pstgen {
namespace {

constexpr uint64_t kBitmapBytes = 496;

uint64_t range_start(uint64_t index) { return kFirstAmapOffset + index * kAmapRangeSize; }
uint64_t range_of(uint64_t offset) { return (offset - kFirstAmapOffset) / kAmapRangeSize; }
bool has_pmap(uint64_t index) { return index % 8 == 0; }

// First offset of a range that is not taken by its own map pages.
uint64_t data_start(uint64_t index) {
  return range_start(index) + kPageSize * (has_pmap(index) ? 2 : 1);
}

int popcount8(uint8_t b) {
  int n = 0;
  for (; b != 0; b = static_cast<uint8_t>(b & (b - 1))) ++n;
  return n;
}

}  // namespace

uint64_t FileLayout::allocate(uint64_t size, uint64_t alignment) {
  if (size == 0 || size % kAllocationUnit != 0 || size > kAmapRangeSize - 2 * kPageSize) {
    throw std::logic_error("bad allocation size");
  }
  if (bitmaps_.empty()) {
    open_range(0);
    cursor_ = data_start(0);
  }
  uint64_t offset = round_up(cursor_, alignment);
  uint64_t index = range_of(offset);
  if (offset < data_start(index)) offset = round_up(data_start(index), alignment);
  if (offset + size > range_start(index + 1)) {
    ++index;
    offset = round_up(data_start(index), alignment);
  }
  while (bitmaps_.size() <= index) open_range(bitmaps_.size());
  mark(offset, size);
  cursor_ = offset + size;
  return offset;
}

void FileLayout::open_range(uint64_t index) {
  std::string bitmap(kBitmapBytes, '\0');
  bitmap[0] = '\xFF';                      // the AMap page itself
  if (has_pmap(index)) bitmap[1] = '\xFF';  // the PMap page
  bitmaps_.push_back(std::move(bitmap));
}

void FileLayout::mark(uint64_t offset, uint64_t size) {
  std::string& bitmap = bitmaps_[range_of(offset)];
  const uint64_t first = (offset - range_start(range_of(offset))) / kAllocationUnit;
  for (uint64_t bit = first; bit < first + size / kAllocationUnit; ++bit) {
    bitmap[bit / 8] = static_cast<char>(static_cast<uint8_t>(bitmap[bit / 8]) | (0x80u >> (bit % 8)));
  }
}

uint64_t FileLayout::last_amap_offset() const {
  return range_start(bitmaps_.empty() ? 0 : bitmaps_.size() - 1);
}

uint64_t FileLayout::file_end() const {
  return range_start(bitmaps_.empty() ? 1 : bitmaps_.size());
}

uint64_t FileLayout::free_bytes() const {
  uint64_t used_units = 0;
  for (const std::string& bitmap : bitmaps_) {
    for (char c : bitmap) used_units += static_cast<uint64_t>(popcount8(static_cast<uint8_t>(c)));
  }
  return bitmaps_.size() * kAmapRangeSize - used_units * kAllocationUnit;
}

std::vector<std::pair<uint64_t, std::string>> FileLayout::map_pages() const {
  std::vector<std::pair<uint64_t, std::string>> pages;
  for (uint64_t index = 0; index < bitmaps_.size(); ++index) {
    const uint64_t amap = range_start(index);
    pages.emplace_back(amap, make_amap_page(bitmaps_[index], amap));
    if (has_pmap(index)) pages.emplace_back(amap + kPageSize, make_pmap_page(amap + kPageSize));
  }
  return pages;
}

}  // namespace pstgen
