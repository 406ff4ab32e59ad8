// The content of one node before it is written: its data stream, already cut
// into blocks, and its subnodes.
#ifndef PSTGEN_NODE_DATA_H_
#define PSTGEN_NODE_DATA_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pstgen {

struct Subnode;

struct NodeData {
  // The data stream, one string per data block (each at most 8176 bytes, none
  // empty). A heap keeps its pages here; a plain stream is cut by from_stream.
  std::vector<std::string> blocks;
  // Subnodes in any order (written sorted by NID); each may have its own.
  std::vector<Subnode> subnodes;

  // A node whose data is `stream` cut into full blocks. An empty stream gives
  // one empty block list, which the writer rejects: REQUIRES non-empty.
  static NodeData from_stream(std::string_view stream);
  // Total bytes of the data stream.
  uint64_t stream_size() const;
};

struct Subnode {
  uint32_t nid = 0;  // unique among the subnodes of one node
  NodeData data;
};

}  // namespace pstgen

#endif  // PSTGEN_NODE_DATA_H_
