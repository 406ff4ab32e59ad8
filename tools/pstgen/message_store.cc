#include "message_store.h"

#include <stdexcept>

#include "bytes.h"
#include "tags.h"

namespace pstgen {
namespace {

// PidTagValidFolderMask bits.
constexpr uint32_t kValidIpmSubtree = 0x01;
constexpr uint32_t kValidWastebasket = 0x08;
constexpr uint32_t kValidFinder = 0x80;

}  // namespace

std::string make_entry_id(const std::string& record_key, uint32_t nid) {
  if (record_key.size() != kRecordKeySize) throw std::invalid_argument("record key must be 16 bytes");
  std::string id;
  put_u32(id, 0);
  id += record_key;
  put_u32(id, nid);
  return id;
}

PropertyList store_properties(const StoreSettings& settings) {
  PropertyList props;
  props.set_binary(kPropRecordKey, settings.record_key);
  props.set_unicode(kPropDisplayName, settings.display_name);
  uint32_t mask = kValidIpmSubtree;
  if (settings.identifier_folder_nid != 0) {
    props.set_long(kPropIpmSubtreeEntryId, settings.identifier_folder_nid);
  } else {
    props.set_binary(kPropIpmSubtreeEntryId, make_entry_id(settings.record_key, settings.ipm_subtree_nid));
  }
  if (settings.wastebasket_nid != 0) {
    props.set_binary(kPropWastebasketEntryId, make_entry_id(settings.record_key, settings.wastebasket_nid));
    mask |= kValidWastebasket;
  }
  if (settings.finder_nid != 0) {
    props.set_binary(kPropFinderEntryId, make_entry_id(settings.record_key, settings.finder_nid));
    mask |= kValidFinder;
  }
  props.set_long(kPropValidFolderMask, mask);
  props.set_long(kPropPstPassword, 0);
  for (const Property& p : settings.extra.items()) props.set_raw(p.tag, p.value);
  return props;
}

}  // namespace pstgen
