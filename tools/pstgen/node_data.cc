#include "node_data.h"

#include "data_tree.h"

namespace pstgen {

NodeData NodeData::from_stream(std::string_view stream) {
  NodeData node;
  for (std::string_view piece : split_stream(stream)) node.blocks.emplace_back(piece);
  return node;
}

uint64_t NodeData::stream_size() const {
  uint64_t total = 0;
  for (const std::string& block : blocks) total += block.size();
  return total;
}

}  // namespace pstgen
