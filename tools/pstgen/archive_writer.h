// The messaging-layer writer. Messages are written as they are added and
// only their folder's table rows are kept, so archives of any size can be
// streamed; folders, their tables and the store are written by finish().
//
// Left out, because neither libpff nor readpst needs them: the name-to-id
// map (node 0x61; libpff refuses a map without entries, and nothing here
// uses named properties), the folder and table templates (0xA1, 0xC1,
// 0x60D..0x692), the search nodes (0x1E1, 0x201, 0x261...), and
// associated (FAI) messages; every folder has an empty FAI contents table.
#ifndef PSTGEN_ARCHIVE_WRITER_H_
#define PSTGEN_ARCHIVE_WRITER_H_

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive.h"
#include "message.h"
#include "message_store.h"
#include "ndb_writer.h"
#include "property_list.h"

namespace pstgen {

class ArchiveWriter {
 public:
  // Creates `path`; throws std::runtime_error when it cannot.
  ArchiveWriter(const std::string& path, StoreSettings store);

  // Declares a folder. The root folder is the one with nid == parent_nid
  // (written as its own parent, as readers expect). `props` are written as
  // given plus the counts (see folder_properties).
  // REQUIRES: the parent was declared before, except for the root.
  void add_folder(uint32_t nid, uint32_t parent_nid, const PropertyList& props);

  // Declares every folder of `archive`, in creation order.
  void add_folders(const Archive& archive);

  // Writes `message` as node `nid` of folder `folder_nid` and appends its row
  // to the folder's contents table.
  // REQUIRES: the folder was declared; nid is a message NID not used before.
  void add_message(uint32_t folder_nid, uint32_t nid, const Message& message);

  // Writes the store, every folder with its tables, then the node database's
  // B-trees, maps and header. Later calls do nothing; a writer destroyed
  // without finish() leaves an unreadable file (its header is still zero).
  void finish();

  uint64_t bytes_so_far() const { return ndb_.bytes_so_far(); }

 private:
  struct FolderState {
    uint32_t nid = 0;
    uint32_t parent = 0;
    PropertyList props;
    std::vector<size_t> children;         // indices into folders_
    std::vector<uint32_t> message_nids;   // contents rows, in order
    std::vector<PropertyList> message_cells;
    uint32_t unread = 0;
  };

  FolderState& folder(uint32_t nid);
  PropertyList final_properties(const FolderState& f) const;
  void write_folder(const FolderState& f);

  NdbWriter ndb_;
  StoreSettings store_;
  std::vector<FolderState> folders_;  // in declaration order
  std::unordered_map<uint32_t, size_t> folder_index_;
  bool finished_ = false;
};

// Writes the whole `archive` to `path`: folders in creation order, then each
// folder's messages in order. Throws std::runtime_error on I/O errors.
void write_file(const Archive& archive, const std::string& path);

}  // namespace pstgen

#endif  // PSTGEN_ARCHIVE_WRITER_H_
