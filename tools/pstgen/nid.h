// Node ids (NIDs) and block ids (BIDs) of the node database, and the fixed
// NIDs that readers look for.
#ifndef PSTGEN_NID_H_
#define PSTGEN_NID_H_

#include <cstdint>

namespace pstgen {

// The low 5 bits of a NID.
enum class NidType : uint32_t {
  kInternal = 0x01,
  kNormalFolder = 0x02,
  kNormalMessage = 0x04,
  kAttachment = 0x05,
  kHierarchyTable = 0x0D,
  kContentsTable = 0x0E,
  kAssocContentsTable = 0x0F,
  kAttachmentTable = 0x11,
  kRecipientTable = 0x12,
  kLtp = 0x1F,  // subnode holding a large property value or a row matrix
};

constexpr uint32_t make_nid(NidType type, uint32_t index) {
  return (index << 5) | static_cast<uint32_t>(type);
}
constexpr uint32_t nid_index(uint32_t nid) { return nid >> 5; }
constexpr uint32_t nid_type_bits(uint32_t nid) { return nid & 0x1F; }

// The table node of `type` that belongs to folder `folder_nid` (same index).
constexpr uint32_t folder_table_nid(uint32_t folder_nid, NidType type) {
  return make_nid(type, nid_index(folder_nid));
}

constexpr uint32_t kNidMessageStore = 0x21;
constexpr uint32_t kNidRootFolder = 0x122;
// Fixed subnode NIDs of a message's attachment and recipient tables.
constexpr uint32_t kNidAttachmentTable = 0x671;
constexpr uint32_t kNidRecipientTable = 0x692;

// First indices handed out for user objects (the documented minimums are
// 0x400 for folders and 0x10000 for messages; the mail client starts one
// higher, which puts the IPM subtree at NID 0x8022).
constexpr uint32_t kFirstFolderIndex = 0x401;
constexpr uint32_t kFirstMessageIndex = 0x10001;
// First index of attachment and large-value subnodes inside one node.
constexpr uint32_t kFirstSubnodeIndex = 0x400;

// Bit 1 of a BID marks an internal block (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK).
constexpr uint64_t kBidInternalFlag = 0x2;
// BID counters advance by 4: bit 0 is reserved, bit 1 is the internal flag.
constexpr uint64_t kBidStep = 0x4;

// Hands out top-level NIDs in increasing order, so that output is a function
// of the order of calls only.
class NidAllocator {
 public:
  uint32_t next_folder() { return make_nid(NidType::kNormalFolder, next_folder_index_++); }
  uint32_t next_message() { return make_nid(NidType::kNormalMessage, next_message_index_++); }

 private:
  uint32_t next_folder_index_ = kFirstFolderIndex;
  uint32_t next_message_index_ = kFirstMessageIndex;
};

}  // namespace pstgen

#endif  // PSTGEN_NID_H_
