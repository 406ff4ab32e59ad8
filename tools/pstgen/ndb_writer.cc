#include "ndb_writer.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "bytes.h"
#include "crc.h"
#include "header.h"
#include "nid.h"

namespace pstgen {
namespace {

// Documented lowest values of the header's next-NID-index table.
constexpr uint32_t kMinNextIndex = 0x400;
constexpr uint32_t kMinNextSearchFolderIndex = 0x4000;
constexpr uint32_t kMinNextMessageIndex = 0x10000;
constexpr uint32_t kMinNextAssocMessageIndex = 0x8000;
constexpr uint32_t kSearchFolderType = 0x03;
constexpr uint32_t kAssocMessageType = 0x08;
constexpr uint32_t kHeaderUnique = 1;

uint64_t entry_key(const NbtEntry& e) { return e.nid; }
uint64_t entry_key(const BbtEntry& e) { return e.ref.bid; }
std::string encode(const NbtEntry& e) { return encode_nbt_entry(e); }
std::string encode(const BbtEntry& e) { return encode_bbt_entry(e); }
size_t leaf_entry_size(PageType type) {
  return type == PageType::kNodeBtree ? kNbtEntrySize : kBbtEntrySize;
}

uint32_t min_next_index(uint32_t type) {
  switch (type) {
    case kSearchFolderType: return kMinNextSearchFolderIndex;
    case static_cast<uint32_t>(NidType::kNormalMessage): return kMinNextMessageIndex;
    case kAssocMessageType: return kMinNextAssocMessageIndex;
    default: return kMinNextIndex;
  }
}

// One level of a B-tree under construction: the first key and location of
// each page.
struct PageRef {
  uint64_t key = 0;
  Bref ref;
};

}  // namespace

NdbWriter::NdbWriter(const std::string& path) : sink_(path) {}

void NdbWriter::add_node(uint32_t nid, uint32_t nid_parent, const NodeData& node) {
  const NodeRefs refs = write_node_data(node);
  nbt_.push_back({nid, refs.bid_data, refs.bid_sub, nid_parent});
  uint32_t& max_index = max_nid_index_[nid_type_bits(nid)];
  max_index = std::max(max_index, nid_index(nid));
}

NdbWriter::NodeRefs NdbWriter::write_node_data(const NodeData& node) {
  if (node.blocks.empty()) throw std::logic_error("node without data");
  NodeRefs refs;
  refs.bid_data = write_data_tree({node.blocks.begin(), node.blocks.end()});
  if (node.subnodes.empty()) return refs;
  std::vector<size_t> order(node.subnodes.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&node](size_t a, size_t b) {
    return node.subnodes[a].nid < node.subnodes[b].nid;
  });
  std::vector<SlEntry> entries;
  for (size_t i : order) {
    const Subnode& sub = node.subnodes[i];
    if (!entries.empty() && entries.back().nid == sub.nid) throw std::logic_error("duplicate subnode NID");
    const NodeRefs child = write_node_data(sub.data);
    entries.push_back({sub.nid, child.bid_data, child.bid_sub});
  }
  refs.bid_sub = write_subnode_tree(entries);
  return refs;
}

uint64_t NdbWriter::write_data_tree(const std::vector<std::string_view>& blocks) {
  uint64_t total = 0;
  for (std::string_view b : blocks) total += b.size();
  if (total > UINT32_MAX) throw std::length_error("node data larger than 4 GiB");
  if (blocks.size() == 1) return write_block(blocks[0], false);
  std::vector<uint64_t> xblocks;
  for (size_t first = 0; first < blocks.size(); first += kMaxXblockEntries) {
    const size_t last = std::min(blocks.size(), first + kMaxXblockEntries);
    std::vector<uint64_t> children;
    uint64_t size = 0;
    for (size_t i = first; i < last; ++i) {
      children.push_back(write_block(blocks[i], false));
      size += blocks[i].size();
    }
    xblocks.push_back(write_block(make_xblock(1, static_cast<uint32_t>(size), children), true));
  }
  if (xblocks.size() == 1) return xblocks[0];
  if (xblocks.size() > kMaxXblockEntries) throw std::length_error("node data needs more than two tree levels");
  return write_block(make_xblock(2, static_cast<uint32_t>(total), xblocks), true);
}

uint64_t NdbWriter::write_subnode_tree(const std::vector<SlEntry>& entries) {
  if (entries.size() <= kMaxSlblockEntries) return write_block(make_slblock(entries), true);
  std::vector<SiEntry> leaves;
  for (size_t first = 0; first < entries.size(); first += kMaxSlblockEntries) {
    const size_t last = std::min(entries.size(), first + kMaxSlblockEntries);
    const std::vector<SlEntry> chunk(entries.begin() + static_cast<std::ptrdiff_t>(first),
                                     entries.begin() + static_cast<std::ptrdiff_t>(last));
    leaves.push_back({chunk.front().nid, write_block(make_slblock(chunk), true)});
  }
  if (leaves.size() > kMaxSiblockEntries) throw std::length_error("too many subnodes in one node");
  return write_block(make_siblock(leaves), true);
}

uint64_t NdbWriter::write_block(std::string_view data, bool internal) {
  if (data.empty() || data.size() > kMaxBlockData) throw std::logic_error("bad block size");
  const uint64_t bid = next_block_bid_ | (internal ? kBidInternalFlag : 0);
  next_block_bid_ += kBidStep;
  const uint64_t disk_size = block_disk_size(data.size());
  const uint64_t ib = layout_.allocate(disk_size, kAllocationUnit);
  std::string block(data);
  block.resize(disk_size - kBlockTrailerSize, '\0');
  put_u16(block, static_cast<uint16_t>(data.size()));
  put_u16(block, block_signature(ib, bid));
  put_u32(block, pst_crc(data));
  put_u64(block, bid);
  sink_.write_at(ib, block);
  bbt_.push_back({{bid, ib}, static_cast<uint16_t>(data.size())});
  return bid;
}

template <typename Entry>
Bref NdbWriter::write_btree(PageType type, const std::vector<Entry>& leaves) {
  std::vector<PageRef> level;
  std::vector<std::string> encoded;
  const size_t leaf_size = leaf_entry_size(type);
  auto emit = [&](uint8_t depth, size_t entry_size, uint64_t first_key, std::vector<PageRef>& out) {
    const Bref self{next_page_bid_, layout_.allocate(kPageSize, kPageSize)};
    next_page_bid_ += kBidStep;
    sink_.write_at(self.ib, make_btree_page(type, encoded, entry_size, depth, self));
    out.push_back({first_key, self});
    encoded.clear();
  };
  for (size_t i = 0; i < leaves.size(); ++i) {
    encoded.push_back(encode(leaves[i]));
    if (encoded.size() == entries_per_page(leaf_size) || i + 1 == leaves.size()) {
      emit(0, leaf_size, entry_key(leaves[i + 1 - encoded.size()]), level);
    }
  }
  for (uint8_t depth = 1; level.size() > 1; ++depth) {
    std::vector<PageRef> parents;
    for (size_t i = 0; i < level.size(); ++i) {
      encoded.push_back(encode_bt_entry(level[i].key, level[i].ref));
      if (encoded.size() == entries_per_page(kBtEntrySize) || i + 1 == level.size()) {
        emit(depth, kBtEntrySize, level[i + 1 - encoded.size()].key, parents);
      }
    }
    level = std::move(parents);
  }
  return level.at(0).ref;
}

void NdbWriter::finish() {
  if (finished_) return;
  finished_ = true;
  std::sort(nbt_.begin(), nbt_.end(), [](const NbtEntry& a, const NbtEntry& b) { return a.nid < b.nid; });
  for (size_t i = 1; i < nbt_.size(); ++i) {
    if (nbt_[i].nid == nbt_[i - 1].nid) throw std::logic_error("duplicate node NID");
  }
  HeaderFields header;
  header.block_btree_root = write_btree(PageType::kBlockBtree, bbt_);
  header.node_btree_root = write_btree(PageType::kNodeBtree, nbt_);
  for (const auto& [offset, page] : layout_.map_pages()) sink_.write_at(offset, page);
  const uint64_t eof = layout_.file_end();
  if (sink_.end() < eof) sink_.write_at(eof - 1, std::string(1, '\0'));
  header.next_page_bid = next_page_bid_;
  header.next_block_bid = next_block_bid_;
  header.unique = kHeaderUnique;
  for (uint32_t type = 0; type < 32; ++type) {
    header.next_nid_index[type] = std::max(min_next_index(type), max_nid_index_[type] + 1);
  }
  header.file_eof = eof;
  header.last_amap = layout_.last_amap_offset();
  header.amap_free = layout_.free_bytes();
  sink_.write_at(0, make_header(header));
  sink_.close();
}

}  // namespace pstgen
