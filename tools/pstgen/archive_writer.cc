#include "archive_writer.h"

#include <stdexcept>

#include "folder_tables.h"
#include "message_node.h"
#include "nid.h"

namespace pstgen {

ArchiveWriter::ArchiveWriter(const std::string& path, StoreSettings store)
    : ndb_(path), store_(std::move(store)) {}

ArchiveWriter::FolderState& ArchiveWriter::folder(uint32_t nid) {
  const auto it = folder_index_.find(nid);
  if (it == folder_index_.end()) throw std::invalid_argument("folder not declared: " + std::to_string(nid));
  return folders_[it->second];
}

void ArchiveWriter::add_folder(uint32_t nid, uint32_t parent_nid, const PropertyList& props) {
  if (folder_index_.count(nid) != 0) throw std::invalid_argument("folder declared twice");
  const size_t index = folders_.size();
  if (nid != parent_nid) folder(parent_nid).children.push_back(index);
  FolderState state;
  state.nid = nid;
  state.parent = parent_nid;
  state.props = props;
  folders_.push_back(std::move(state));
  folder_index_[nid] = index;
}

void ArchiveWriter::add_folders(const Archive& archive) {
  for (const Folder& f : archive.folders()) {
    add_folder(f.nid(), f.parent() != nullptr ? f.parent()->nid() : f.nid(), f.props());
  }
}

void ArchiveWriter::add_message(uint32_t folder_nid, uint32_t nid, const Message& message) {
  FolderState& f = folder(folder_nid);
  if (nid_type_bits(nid) != static_cast<uint32_t>(NidType::kNormalMessage)) {
    throw std::invalid_argument("not a message NID");
  }
  ndb_.add_node(nid, folder_nid, build_message_node(message));
  f.message_nids.push_back(nid);
  f.message_cells.push_back(contents_cells(message.props()));
  if (is_unread(message.props())) ++f.unread;
}

PropertyList ArchiveWriter::final_properties(const FolderState& f) const {
  return folder_properties(f.props, static_cast<uint32_t>(f.message_nids.size()), f.unread,
                           !f.children.empty());
}

void ArchiveWriter::write_folder(const FolderState& f) {
  ndb_.add_node(f.nid, f.parent, make_property_node(final_properties(f)));
  std::vector<uint32_t> child_nids;
  std::vector<PropertyList> child_cells;
  for (size_t child : f.children) {
    child_nids.push_back(folders_[child].nid);
    child_cells.push_back(final_properties(folders_[child]));
  }
  ndb_.add_node(folder_table_nid(f.nid, NidType::kHierarchyTable), 0,
                make_table_node(hierarchy_columns(), child_nids, child_cells));
  ndb_.add_node(folder_table_nid(f.nid, NidType::kContentsTable), 0,
                make_table_node(contents_columns(), f.message_nids, f.message_cells));
  ndb_.add_node(folder_table_nid(f.nid, NidType::kAssocContentsTable), 0,
                make_table_node(contents_columns(), {}, {}));
}

void ArchiveWriter::finish() {
  if (finished_) return;
  finished_ = true;
  ndb_.add_node(kNidMessageStore, 0, make_property_node(store_properties(store_)));
  for (const FolderState& f : folders_) write_folder(f);
  ndb_.finish();
}

void write_file(const Archive& archive, const std::string& path) {
  ArchiveWriter writer(path, archive.store_settings());
  writer.add_folders(archive);
  for (const Folder& f : archive.folders()) {
    for (const Message& m : f.messages()) writer.add_message(f.nid(), m.nid(), m);
  }
  writer.finish();
}

}  // namespace pstgen
