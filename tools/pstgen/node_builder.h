// Assembles one LTP node: its heap, the subnodes that hold values too large
// for the heap, and any other subnodes its owner attaches.
#ifndef PSTGEN_NODE_BUILDER_H_
#define PSTGEN_NODE_BUILDER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "heap_on_node.h"
#include "nid.h"
#include "node_data.h"

namespace pstgen {

class NodeBuilder {
 public:
  explicit NodeBuilder(HeapClient client) : heap_(client) {}

  HeapOnNode& heap() { return heap_; }

  // Stores a variable-size value and returns its HNID: 0 for an empty value,
  // a HID when it fits one heap allocation within the heap's page limit,
  // otherwise the NID of a new subnode (type LTP) holding the value as a
  // data tree (readers resolve an HNID by its type, whatever the size).
  uint32_t store_variable(std::string_view value);

  // Adds a new LTP subnode whose data blocks are `blocks` (for data that
  // must be cut at chosen places, like a row matrix) and returns its NID.
  uint32_t store_blocks(std::vector<std::string> blocks);

  // Adds a subnode the caller built (recipient table, attachment...).
  // REQUIRES: its NID is not of type LTP (those are handed out here).
  void add_subnode(Subnode subnode) { subnodes_.push_back(std::move(subnode)); }

  // The node: heap pages as data blocks, and all subnodes.
  NodeData finish() &&;

 private:
  HeapOnNode heap_;
  std::vector<Subnode> subnodes_;
  uint32_t next_ltp_index_ = kFirstSubnodeIndex;
};

}  // namespace pstgen

#endif  // PSTGEN_NODE_BUILDER_H_
