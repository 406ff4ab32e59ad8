#include "ndb_check.h"

#include <algorithm>
#include <bitset>
#include <fstream>
#include <iterator>
#include <sstream>

namespace pstgen_test {
namespace {

constexpr uint64_t kPage = 512;
constexpr uint64_t kFirstAmap = 0x4400;
constexpr uint64_t kAmapRange = 253952;

uint64_t le(const std::string& s, size_t at, int width) {
  if (at + static_cast<size_t>(width) > s.size()) throw CheckError("read past the end of the data");
  uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
  return v;
}

// Bit-by-bit CRC, independent of the table-driven one under test.
uint32_t crc(const std::string& s, size_t at, size_t len) {
  uint32_t c = 0;
  for (size_t i = at; i < at + len; ++i) {
    c ^= static_cast<uint8_t>(s[i]);
    for (int b = 0; b < 8; ++b) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
  }
  return c;
}

uint16_t signature(uint64_t ib, uint64_t bid) {
  const uint32_t x = static_cast<uint32_t>(ib ^ bid);
  return static_cast<uint16_t>((x >> 16) ^ (x & 0xFFFF));
}

void expect(bool ok, const std::string& what) {
  if (!ok) throw CheckError(what);
}

std::string hex(uint64_t v) {
  std::ostringstream out;
  out << "0x" << std::hex << v;
  return out.str();
}

uint64_t block_size_on_disk(uint16_t cb) { return (uint64_t{cb} + 16 + 63) / 64 * 64; }

}  // namespace

NdbCheck::NdbCheck(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  file_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  expect(file_.size() >= kFirstAmap + kPage, "file too short");
  uint64_t last = 0, first = 0;
  bbt_depth_ = walk(le(file_, 232, 8), le(file_, 240, 8), 0x80, -1, last, first);
  last = 0;
  nbt_depth_ = walk(le(file_, 216, 8), le(file_, 224, 8), 0x81, -1, last, first);
  check_header();
  check_amaps();
}

// Checks the page at `ib` and its subtree: keys rise across each level and
// an intermediate entry's key is its child's first key. Returns the depth
// (1 for a single leaf) and the page's first key in `first_key`.
int NdbCheck::walk(uint64_t bid, uint64_t ib, uint8_t type, int level, uint64_t& last_key,
                   uint64_t& first_key) {
  expect(ib % kPage == 0 && ib + kPage <= file_.size(), "page offset " + hex(ib));
  page_offsets_.push_back(ib);
  const std::string page = file_.substr(ib, kPage);
  expect(static_cast<uint8_t>(page[496]) == type && static_cast<uint8_t>(page[497]) == type, "page type at " + hex(ib));
  expect(le(page, 498, 2) == signature(ib, bid), "page signature at " + hex(ib));
  expect(le(page, 500, 4) == crc(page, 0, 496), "page CRC at " + hex(ib));
  expect(le(page, 504, 8) == bid, "page back pointer at " + hex(ib));
  const int count = static_cast<uint8_t>(page[488]);
  const int entry_size = static_cast<uint8_t>(page[490]);
  const int page_level = static_cast<uint8_t>(page[491]);
  expect(level < 0 || page_level == level, "page level at " + hex(ib));
  const int leaf_size = type == 0x81 ? 32 : 24;
  expect(entry_size == (page_level == 0 ? leaf_size : 24), "entry size at " + hex(ib));
  expect(count > 0 && count <= 488 / entry_size && page[489] == static_cast<char>(488 / entry_size),
         "entry count at " + hex(ib));
  int depth = 1;
  first_key = le(page, 0, 8);
  for (int i = 0; i < count; ++i) {
    const size_t at = static_cast<size_t>(i * entry_size);
    const uint64_t key = le(page, at, 8);
    if (page_level > 0) {
      uint64_t child_first = 0;
      depth = 1 + walk(le(page, at + 8, 8), le(page, at + 16, 8), type, page_level - 1, last_key, child_first);
      expect(child_first == key, "intermediate key is not the child's first key at " + hex(ib));
      continue;
    }
    expect(key > last_key, "leaf keys not ascending at " + hex(ib));
    last_key = key;
    if (type == 0x80) {
      blocks_[key] = {le(page, at + 8, 8), static_cast<uint16_t>(le(page, at + 16, 2))};
    } else {
      expect(key >> 32 == 0, "NID wider than 32 bits");
      nodes_[static_cast<uint32_t>(key)] = {le(page, at + 8, 8), le(page, at + 16, 8),
                                            static_cast<uint32_t>(le(page, at + 24, 4))};
    }
  }
  return depth;
}

void NdbCheck::check_header() {
  expect(file_.compare(0, 4, "!BDN") == 0 && file_.compare(8, 2, "SM") == 0, "header magic");
  expect(le(file_, 10, 2) == 23, "header version");
  expect(le(file_, 4, 4) == crc(file_, 8, 471), "header partial CRC");
  expect(le(file_, 524, 4) == crc(file_, 8, 516), "header full CRC");
  expect(static_cast<uint8_t>(file_[513]) == 0, "header encryption");
  expect(le(file_, 184, 8) == file_.size(), "header EOF");
  uint64_t max_block = 0, max_page = 0;
  for (const auto& [bid, ref] : blocks_) max_block = std::max(max_block, bid);
  for (uint64_t ib : page_offsets_) max_page = std::max(max_page, le(file_, ib + 504, 8));
  expect(le(file_, 516, 8) > max_block, "bidNextB not above every block");
  expect(le(file_, 32, 8) > max_page, "bidNextP not above every page");
  for (const auto& [nid, ref] : nodes_) {
    expect(le(file_, 44 + 4 * (nid & 0x1F), 4) > (nid >> 5), "rgnid not above NID " + hex(nid));
  }
}

// The AMaps must mark exactly the map pages, B-tree pages and blocks.
void NdbCheck::check_amaps() const {
  const uint64_t ranges = (file_.size() - kFirstAmap) / kAmapRange;
  expect(ranges * kAmapRange + kFirstAmap == file_.size(), "file does not end on an AMap range");
  expect(le(file_, 192, 8) == kFirstAmap + (ranges - 1) * kAmapRange, "ibAMapLast");
  std::vector<std::string> expected(ranges, std::string(496, '\0'));
  auto mark = [&](uint64_t ib, uint64_t size) {
    for (uint64_t unit = (ib - kFirstAmap) / 64; unit < (ib - kFirstAmap + size) / 64; ++unit) {
      std::string& map = expected.at(unit / (496 * 8));
      const uint64_t bit = unit % (496 * 8);
      expect((static_cast<uint8_t>(map[bit / 8]) & (0x80u >> (bit % 8))) == 0, "overlapping allocation at " + hex(ib));
      map[bit / 8] = static_cast<char>(static_cast<uint8_t>(map[bit / 8]) | (0x80u >> (bit % 8)));
    }
  };
  for (uint64_t r = 0; r < ranges; ++r) mark(kFirstAmap + r * kAmapRange, r % 8 == 0 ? 2 * kPage : kPage);
  for (uint64_t ib : page_offsets_) mark(ib, kPage);
  for (const auto& [bid, ref] : blocks_) mark(ref.ib, block_size_on_disk(ref.cb));
  uint64_t free_bytes = 0;
  for (uint64_t r = 0; r < ranges; ++r) {
    const uint64_t ib = kFirstAmap + r * kAmapRange;
    expect(static_cast<uint8_t>(file_[ib + 496]) == 0x84 && le(file_, ib + 504, 8) == ib, "AMap trailer at " + hex(ib));
    expect(le(file_, ib + 500, 4) == crc(file_, ib, 496), "AMap CRC at " + hex(ib));
    expect(file_.compare(ib, 496, expected[r]) == 0, "AMap bits at " + hex(ib));
    for (char c : expected[r]) free_bytes += 64 * (8 - static_cast<uint64_t>(std::bitset<8>(static_cast<uint8_t>(c)).count()));
  }
  expect(le(file_, 200, 8) == free_bytes, "cbAMapFree");
}

std::string NdbCheck::block(uint64_t bid) const {
  const auto it = blocks_.find(bid);
  expect(it != blocks_.end(), "block " + hex(bid) + " not in the block B-tree");
  const uint64_t ib = it->second.ib;
  const uint16_t cb = it->second.cb;
  const uint64_t trailer = ib + block_size_on_disk(cb) - 16;
  expect(ib % 64 == 0 && trailer + 16 <= file_.size(), "block offset " + hex(ib));
  expect(le(file_, trailer, 2) == cb, "block size in trailer of " + hex(bid));
  expect(le(file_, trailer + 2, 2) == signature(ib, bid), "block signature of " + hex(bid));
  expect(le(file_, trailer + 4, 4) == crc(file_, ib, cb), "block CRC of " + hex(bid));
  expect(le(file_, trailer + 8, 8) == bid, "block id in trailer of " + hex(bid));
  return file_.substr(ib, cb);
}

std::vector<std::string> NdbCheck::data_blocks(uint64_t bid, int* depth) const {
  if (depth != nullptr) *depth = 0;
  const std::string data = block(bid);
  if ((bid & 2) == 0) return {data};
  expect(data[0] == 0x01, "internal block " + hex(bid) + " is not a data tree");
  const int level = data[1];
  const size_t count = le(data, 2, 2);
  std::vector<std::string> out;
  uint64_t total = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint64_t child = le(data, 8 + 8 * i, 8);
    expect(((child & 2) != 0) == (level == 2), "data tree child type under " + hex(bid));
    for (std::string& b : data_blocks(child)) {
      total += b.size();
      out.push_back(std::move(b));
    }
  }
  expect(total == le(data, 4, 4), "lcbTotal of " + hex(bid));
  if (depth != nullptr) *depth = level;
  return out;
}

std::string NdbCheck::stream(uint64_t bid) const {
  std::string out;
  for (const std::string& b : data_blocks(bid)) out += b;
  return out;
}

std::map<uint32_t, NodeRef> NdbCheck::subnodes(uint64_t bid, int* depth) const {
  std::map<uint32_t, NodeRef> out;
  if (depth != nullptr) *depth = 0;
  if (bid == 0) return out;
  expect((bid & 2) != 0, "subnode tree " + hex(bid) + " is not an internal block");
  const std::string data = block(bid);
  expect(data[0] == 0x02, "subnode block type of " + hex(bid));
  const size_t count = le(data, 2, 2);
  uint64_t last = 0;
  for (size_t i = 0; i < count; ++i) {
    if (data[1] == 0) {
      const uint64_t nid = le(data, 8 + 24 * i, 8);
      expect(nid > last, "subnode entries not ascending in " + hex(bid));
      last = nid;
      out[static_cast<uint32_t>(nid)] = {le(data, 16 + 24 * i, 8), le(data, 24 + 24 * i, 8), 0};
    } else {
      const std::map<uint32_t, NodeRef> child = subnodes(le(data, 16 + 16 * i, 8));
      expect(!child.empty() && child.begin()->first == le(data, 8 + 16 * i, 8), "SIENTRY key in " + hex(bid));
      out.insert(child.begin(), child.end());
    }
  }
  if (depth != nullptr) *depth = data[1] + 1;
  return out;
}

}  // namespace pstgen_test
