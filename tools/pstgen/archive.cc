#include "archive.h"

#include "tags.h"

namespace pstgen {

Message& Folder::add_message() {
  messages_.emplace_back(owner_->allocate_message_nid());
  return messages_.back();
}

Archive::Archive() {
  root_ = &create_folder(nullptr, kNidRootFolder, "", "");
  ipm_subtree_ = &add_folder(*root_, "Top of Personal Folders", "");
  search_root_ = &add_folder(*root_, "Search Root", "");
  deleted_items_ = &add_folder(*ipm_subtree_, "Deleted Items");
}

Folder& Archive::add_folder(Folder& parent, std::string_view name, std::string_view container_class) {
  Folder& folder = create_folder(&parent, nids_.next_folder(), name, container_class);
  parent.children_.push_back(&folder);
  return folder;
}

Folder& Archive::create_folder(Folder* parent, uint32_t nid, std::string_view name,
                               std::string_view container_class) {
  folders_.push_back(Folder(this, parent, nid));
  Folder& folder = folders_.back();
  folder.props_.set_unicode(kPropDisplayName, name);
  if (!container_class.empty()) folder.props_.set_unicode(kPropContainerClass, container_class);
  return folder;
}

void Archive::set_store_folder_identifier(const Folder* folder) { identifier_folder_ = folder; }

StoreSettings Archive::store_settings() const {
  StoreSettings settings = store_;
  settings.ipm_subtree_nid = ipm_subtree_->nid();
  settings.wastebasket_nid = deleted_items_->nid();
  settings.finder_nid = search_root_->nid();
  settings.identifier_folder_nid = identifier_folder_ != nullptr ? identifier_folder_->nid() : 0;
  return settings;
}

}  // namespace pstgen
