// The builder's model of a whole archive: the message store, the folder tree
// (with the standard folders already in place) and the messages. NIDs are
// handed out as objects are added, so a test knows every identifier before
// the file is written. write_file (archive_writer.h) writes it.
//
//   pstgen::Archive a;
//   pstgen::Folder& inbox = a.add_folder(a.ipm_subtree(), "Inbox");
//   pstgen::Message& m = inbox.add_message();
//   m.set_unicode(0x001A, "IPM.Note").set_unicode(0x0037, "Subject");
//   m.add_recipient({pstgen::RecipientType::kTo, "Ann", "ann@example.com"});
//   m.add_attachment({"report.pdf", "REPORT.PDF", bytes});
//   pstgen::write_file(a, "out.pst");
#ifndef PSTGEN_ARCHIVE_H_
#define PSTGEN_ARCHIVE_H_

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "message.h"
#include "message_store.h"
#include "nid.h"
#include "property_list.h"

namespace pstgen {

class Archive;

class Folder {
 public:
  // The folder's NID; libpff reports it as the folder item's identifier.
  uint32_t nid() const { return nid_; }
  // nullptr for the root folder.
  const Folder* parent() const { return parent_; }

  // The folder object's properties: the display name (0x3001) and, when
  // given, the container class (0x3613). On writing, the content count
  // (0x3602), unread count (0x3603) and has-subfolders flag (0x360A) are
  // added unless set here.
  PropertyList& props() { return props_; }
  const PropertyList& props() const { return props_; }

  // A new, empty message at the end of this folder, with the next NID.
  Message& add_message();

  const std::deque<Message>& messages() const { return messages_; }
  const std::vector<Folder*>& children() const { return children_; }

 private:
  friend class Archive;
  Folder(Archive* owner, Folder* parent, uint32_t nid) : owner_(owner), parent_(parent), nid_(nid) {}

  Archive* owner_;
  Folder* parent_;
  uint32_t nid_;
  PropertyList props_;
  std::vector<Folder*> children_;
  std::deque<Message> messages_;
};

class Archive {
 public:
  // An archive with the root folder (NID 0x122, empty name), the IPM subtree
  // "Top of Personal Folders" (0x8022) and "Search Root" (0x8042) below it,
  // and "Deleted Items" (0x8062) below the IPM subtree.
  Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  Folder& root() { return *root_; }
  Folder& ipm_subtree() { return *ipm_subtree_; }
  Folder& search_root() { return *search_root_; }
  Folder& deleted_items() { return *deleted_items_; }

  // A new folder at the end of `parent`'s sub-folders. An empty container
  // class leaves 0x3613 out. REQUIRES: `parent` belongs to this archive.
  Folder& add_folder(Folder& parent, std::string_view name, std::string_view container_class = "IPF.Note");

  // With a folder, the store's 0x35E0 is written as a PT_LONG holding the
  // folder's NID; with nullptr (the default) as the usual binary entry ID of
  // the IPM subtree.
  void set_store_folder_identifier(const Folder* folder);

  // Store name, record key and extra store properties may be edited here;
  // store_settings() fills in the special folders.
  StoreSettings& store() { return store_; }
  StoreSettings store_settings() const;

  // The next message NID, for messages streamed straight to an ArchiveWriter.
  uint32_t allocate_message_nid() { return nids_.next_message(); }

  // Every folder, parents before children, in order of creation.
  const std::deque<Folder>& folders() const { return folders_; }

 private:
  Folder& create_folder(Folder* parent, uint32_t nid, std::string_view name, std::string_view container_class);

  NidAllocator nids_;
  std::deque<Folder> folders_;
  StoreSettings store_;
  const Folder* identifier_folder_ = nullptr;
  Folder* root_;
  Folder* ipm_subtree_;
  Folder* search_root_;
  Folder* deleted_items_;
};

}  // namespace pstgen

#endif  // PSTGEN_ARCHIVE_H_
