// The message store object (node 0x21): the archive's name and the entry IDs
// of its special folders.
#ifndef PSTGEN_MESSAGE_STORE_H_
#define PSTGEN_MESSAGE_STORE_H_

#include <cstdint>
#include <string>

#include "property_list.h"

namespace pstgen {

constexpr size_t kRecordKeySize = 16;

struct StoreSettings {
  std::string display_name = "Personal Folders";     // 0x3001
  // 0x0FF9, the provider UID that every entry ID of this store carries.
  std::string record_key = std::string("pstgen\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A", kRecordKeySize);
  uint32_t ipm_subtree_nid = 0;   // 0x35E0
  uint32_t wastebasket_nid = 0;   // 0x35E3, left out when 0
  uint32_t finder_nid = 0;        // 0x35E7, left out when 0
  // Non-zero: 0x35E0 is written as a PT_LONG holding this folder NID instead
  // of the usual 24-byte entry ID (libpff resolves it as an item identifier;
  // readpst then cannot find the IPM subtree).
  uint32_t identifier_folder_nid = 0;
  // Written last, replacing any property of the same id.
  PropertyList extra;
};

// A 24-byte entry ID: 4 zero flag bytes, the store's UID, the target NID.
// REQUIRES: record_key.size() == 16.
std::string make_entry_id(const std::string& record_key, uint32_t nid);

// The store object's properties: record key, display name, the special
// folders' entry IDs, the valid-folder mask, a zero password, then `extra`.
PropertyList store_properties(const StoreSettings& settings);

}  // namespace pstgen

#endif  // PSTGEN_MESSAGE_STORE_H_
