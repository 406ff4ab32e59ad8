// An independent reader of the node database used by the tests. It checks
// what libpff and readpst do not: every page and block CRC and signature,
// B-tree ordering and back pointers, the allocation maps and the header's
// counters, and throws CheckError with a description at the first fault.
#ifndef PSTGEN_TESTS_NDB_CHECK_H_
#define PSTGEN_TESTS_NDB_CHECK_H_

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace pstgen_test {

struct CheckError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct NodeRef {
  uint64_t bid_data = 0;
  uint64_t bid_sub = 0;
  uint32_t parent = 0;
};

class NdbCheck {
 public:
  // Reads and checks the whole file.
  explicit NdbCheck(const std::string& path);

  const std::map<uint32_t, NodeRef>& nodes() const { return nodes_; }
  int node_btree_depth() const { return nbt_depth_; }
  int block_btree_depth() const { return bbt_depth_; }

  // Data of one block, checked against its trailer.
  std::string block(uint64_t bid) const;
  // Leaf data blocks of the data tree at `bid`, in order; `depth` gets 0 for
  // a single block, 1 under an XBLOCK, 2 under an XXBLOCK.
  std::vector<std::string> data_blocks(uint64_t bid, int* depth = nullptr) const;
  std::string stream(uint64_t bid) const;
  // Entries of the subnode tree at `bid` (0: none); `depth` as above.
  std::map<uint32_t, NodeRef> subnodes(uint64_t bid, int* depth = nullptr) const;

 private:
  struct BlockRef {
    uint64_t ib = 0;
    uint16_t cb = 0;
  };
  int walk(uint64_t bid, uint64_t ib, uint8_t type, int level, uint64_t& last_key, uint64_t& first_key);
  void check_header();
  void check_amaps() const;

  std::string file_;
  std::map<uint64_t, BlockRef> blocks_;
  std::map<uint32_t, NodeRef> nodes_;
  std::vector<uint64_t> page_offsets_;
  int nbt_depth_ = 0;
  int bbt_depth_ = 0;
};

}  // namespace pstgen_test

#endif  // PSTGEN_TESTS_NDB_CHECK_H_
