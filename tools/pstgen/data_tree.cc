#include "data_tree.h"

#include <stdexcept>

#include "bytes.h"

namespace pstgen {
namespace {

constexpr uint8_t kBlockTypeData = 0x01;     // XBLOCK / XXBLOCK
constexpr uint8_t kBlockTypeSubnode = 0x02;  // SLBLOCK / SIBLOCK

void check_count(size_t count, size_t limit, const char* what) {
  if (count == 0 || count > limit) throw std::logic_error(std::string(what) + " entry count out of range");
}

std::string internal_header(uint8_t type, uint8_t level, size_t count) {
  std::string out;
  put_u8(out, type);
  put_u8(out, level);
  put_u16(out, static_cast<uint16_t>(count));
  return out;
}

}  // namespace

std::vector<std::string_view> split_stream(std::string_view data) {
  std::vector<std::string_view> pieces;
  for (size_t at = 0; at < data.size(); at += kMaxBlockData) {
    pieces.push_back(data.substr(at, kMaxBlockData));
  }
  return pieces;
}

std::string make_xblock(uint8_t level, uint32_t total_size, const std::vector<uint64_t>& children) {
  check_count(children.size(), kMaxXblockEntries, "XBLOCK");
  std::string out = internal_header(kBlockTypeData, level, children.size());
  put_u32(out, total_size);
  for (uint64_t bid : children) put_u64(out, bid);
  return out;
}

std::string make_slblock(const std::vector<SlEntry>& entries) {
  check_count(entries.size(), kMaxSlblockEntries, "SLBLOCK");
  std::string out = internal_header(kBlockTypeSubnode, 0, entries.size());
  put_u32(out, 0);
  for (const SlEntry& e : entries) {
    put_u64(out, e.nid);
    put_u64(out, e.bid_data);
    put_u64(out, e.bid_sub);
  }
  return out;
}

std::string make_siblock(const std::vector<SiEntry>& entries) {
  check_count(entries.size(), kMaxSiblockEntries, "SIBLOCK");
  std::string out = internal_header(kBlockTypeSubnode, 1, entries.size());
  put_u32(out, 0);
  for (const SiEntry& e : entries) {
    put_u64(out, e.nid);
    put_u64(out, e.bid);
  }
  return out;
}

}  // namespace pstgen
