// The node database writer: streams blocks to the file as they are made and
// keeps only the B-tree entries in memory; finish() writes both B-trees, the
// allocation maps and the header.
#ifndef PSTGEN_NDB_WRITER_H_
#define PSTGEN_NDB_WRITER_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data_tree.h"
#include "file_layout.h"
#include "file_sink.h"
#include "nid.h"
#include "node_data.h"
#include "pages.h"

namespace pstgen {

class NdbWriter {
 public:
  // Creates `path`; throws std::runtime_error when it cannot.
  explicit NdbWriter(const std::string& path);

  // Writes `node` (its data and, recursively, its subnodes) and records a
  // top-level node `nid` under `nid_parent`.
  // REQUIRES: node.blocks is not empty; each nid is added once.
  void add_node(uint32_t nid, uint32_t nid_parent, const NodeData& node);

  // Writes the B-trees, allocation maps and header, and closes the file.
  // Throws std::runtime_error on an I/O error.
  void finish();

  // Statistics for callers and tests.
  uint64_t block_count() const { return bbt_.size(); }
  uint64_t bytes_so_far() const { return sink_.end(); }

 private:
  struct NodeRefs {
    uint64_t bid_data = 0;
    uint64_t bid_sub = 0;
  };

  NodeRefs write_node_data(const NodeData& node);
  uint64_t write_data_tree(const std::vector<std::string_view>& blocks);
  uint64_t write_subnode_tree(const std::vector<SlEntry>& entries);
  uint64_t write_block(std::string_view data, bool internal);
  template <typename Entry>
  Bref write_btree(PageType type, const std::vector<Entry>& leaves);

  FileSink sink_;
  FileLayout layout_;
  std::vector<BbtEntry> bbt_;  // in BID order, which is the order of writing
  std::vector<NbtEntry> nbt_;
  std::array<uint32_t, 32> max_nid_index_{};
  uint64_t next_block_bid_ = kBidStep;
  uint64_t next_page_bid_ = kBidStep;
  bool finished_ = false;
};

}  // namespace pstgen

#endif  // PSTGEN_NDB_WRITER_H_
