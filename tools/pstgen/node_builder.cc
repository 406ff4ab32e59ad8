#include "node_builder.h"

namespace pstgen {

uint32_t NodeBuilder::store_variable(std::string_view value) {
  if (value.empty()) return 0;
  if (heap_.can_allocate(value.size())) return heap_.allocate(value);
  return store_blocks(NodeData::from_stream(value).blocks);
}

uint32_t NodeBuilder::store_blocks(std::vector<std::string> blocks) {
  const uint32_t nid = make_nid(NidType::kLtp, next_ltp_index_++);
  Subnode sub{nid, {}};
  sub.data.blocks = std::move(blocks);
  subnodes_.push_back(std::move(sub));
  return nid;
}

NodeData NodeBuilder::finish() && {
  NodeData node;
  node.blocks = heap_.pages();
  node.subnodes = std::move(subnodes_);
  return node;
}

}  // namespace pstgen
