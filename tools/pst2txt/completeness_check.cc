#include "completeness_check.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "fields/field_resolution.h"
#include "message/message_export.h"
#include "message/output_files.h"
#include "message/text_cleanup.h"
#include "platform/platform.h"
#include "properties/entry_types.h"
#include "properties/libpff_handles.h"
#include "run/archive_file.h"
#include "run/block_damage.h"
#include "run/export_run.h"
#include "walk/folder_walk.h"
#include "host_arguments.h"
#include "host_platform.h"

namespace pst2txt {
namespace {

using quillmar::BlockDamage;
using quillmar::ItemHandle;
using quillmar::discard_error;
using quillmar::obtained;

struct ListedFile {
  std::string name;
  uint64_t size = 0;
};

// The regular files in directory (none when it cannot be listed).
std::vector<ListedFile> list_files(const std::string& directory) {
  std::vector<ListedFile> files;
  for (DirectoryEntry& entry : list_directory(directory)) {
    if (entry.kind == DirectoryEntry::Kind::kRegular) {
      files.push_back({std::move(entry.name), entry.size});
    }
  }
  return files;
}

// "<what>: damaged blocks (<kinds>)<where>", kinds among "checksum",
// "identifier" and "index", in that order.
std::string damage_text(const BlockDamage& met, const std::string& what,
                        const std::string& where) {
  return what + ": damaged blocks (" +
         quillmar::damage_kinds(met, "checksum", "identifier", "index") + ")" + where;
}

std::string folder_name(libpff_item_t* folder) {
  libpff_error_t* error = nullptr;
  size_t size = 0;
  std::string name;
  if (libpff_folder_get_utf8_name_size(folder, &size, &error) == 1 && size > 1) {
    name.resize(size);
    if (libpff_folder_get_utf8_name(folder, reinterpret_cast<uint8_t*>(name.data()), size,
                                    &error) == 1) {
      name.resize(name.find('\0') == std::string::npos ? size : name.find('\0'));
    } else {
      name.clear();
    }
  }
  discard_error(&error);
  return name;
}

class Checker {
 public:
  // With count_only, messages are counted from the folders' counts, not read.
  Checker(libpff_file_t* file, std::string archive_name, std::string output_dir,
          bool count_only, ExportProgress& progress)
      : file_(file), archive_name_(std::move(archive_name)), output_dir_(std::move(output_dir)),
        count_only_(count_only), read_data_(!count_only && quillmar::damage_is_visible()),
        progress_(progress) {}

  // archive: its path, for the lines about damage met outside any folder.
  void walk_archive(const std::string& archive) {
    tell_damage(new_damage(), "opening the archive", " in " + archive);
    libpff_error_t* error = nullptr;
    ItemHandle root;
    if (obtained(libpff_file_get_root_folder(file_, root.out(), &error), root)) {
      walk_folder(root.get(), "(root)");
    } else {
      lose("the root folder cannot be read");
    }
    ItemHandle store;
    uint32_t identifier = 0;
    if (!obtained(libpff_file_get_message_store(file_, store.out(), &error), store) ||
        libpff_item_get_entry_value_32bit(store.get(), 0, quillmar::kEntryFolderIdentifier,
                                          &identifier, 0, &error) != 1) {
      identifier = 0;
    }
    discard_error(&error);
    tell_damage(new_damage(), "the message store", " in " + archive);
    for (int walk = 0; walk < 2 && identifier != 0; ++walk) {
      ItemHandle folder;
      if (obtained(libpff_file_get_item_by_identifier(file_, identifier, folder.out(), &error),
                   folder)) {
        walk_folder(folder.get(), "(folder id=" + std::to_string(identifier) + ")");
      } else {
        lose("the folder the message store names (id=" + std::to_string(identifier) +
             ") cannot be read");
      }
      discard_error(&error);
    }
  }

  Completeness result;

 private:
  // How a message's lines name it, and where its own damage is told to be.
  struct Checked {
    std::string name;
    std::string where;
  };

  void lose(std::string what) { result.missing.push_back(std::move(what)); }

  // What the handle's reads met since the last call.
  BlockDamage new_damage() {
    return quillmar::take_new_damage(quillmar::damage_met_by_file(file_), told_);
  }

  void tell_damage(const BlockDamage& met, const std::string& what, const std::string& where) {
    if (met.any()) result.damaged.push_back(damage_text(met, what, where));
  }

  void insert_damage(size_t at, std::string line) {
    result.damaged.insert(result.damaged.begin() + static_cast<ptrdiff_t>(at), std::move(line));
  }

  // A folder's own damage: met obtaining it, reading its name and counts
  // and listing its messages and sub-folders, not inside them. Its line
  // comes before those of its messages and sub-folders.
  void walk_folder(libpff_item_t* folder, const std::string& label) {
    BlockDamage own = new_damage();
    const size_t first_line = result.damaged.size();
    const uint32_t id = identifier(folder);
    path_.push_back(id);
    walk_messages(folder, label, own);
    quillmar::release_contents_table(folder);
    walk_sub_folders(folder, label, own);
    path_.pop_back();
    own += new_damage();
    if (own.any()) {
      insert_damage(first_line, damage_text(own, label, " in the folder id=" + std::to_string(id)));
    }
  }

  static uint32_t identifier(libpff_item_t* item) {
    uint32_t value = 0;
    libpff_error_t* error = nullptr;
    if (libpff_item_get_identifier(item, &value, &error) != 1) value = 0;
    discard_error(&error);
    return value;
  }

  // A message's damage is what the reads met from libpff_folder_get_sub_message
  // to the end of its check, less its attachments' own; its line comes
  // before theirs.
  void walk_messages(libpff_item_t* folder, const std::string& label, BlockDamage& own) {
    libpff_error_t* error = nullptr;
    int count = 0;
    if (libpff_folder_get_number_of_sub_messages(folder, &count, &error) != 1) {
      discard_error(&error);
      return lose(label + ": its message count cannot be read");
    }
    if (count_only_) {
      result.reached += static_cast<uint64_t>(std::max(count, 0));
      return;
    }
    for (int i = 0; i < count && !progress_.stopped(); ++i) {
      ++result.reached;
      own += new_damage();
      Checked checked = {label + ", message " + std::to_string(i + 1), ", not written"};
      const size_t first_line = result.damaged.size();
      BlockDamage met;
      ItemHandle message;
      if (obtained(libpff_folder_get_sub_message(folder, i, message.out(), &error), message)) {
        checked = check_message(message.get(), checked.name, met);
      } else {
        lose(checked.name + ": libpff cannot read it");
      }
      discard_error(&error);
      met += new_damage();
      if (met.any()) insert_damage(first_line, damage_text(met, checked.name, checked.where));
    }
  }

  void walk_sub_folders(libpff_item_t* folder, const std::string& label, BlockDamage& own) {
    libpff_error_t* error = nullptr;
    int count = 0;
    if (libpff_folder_get_number_of_sub_folders(folder, &count, &error) != 1) {
      discard_error(&error);
      return lose(label + ": its sub-folder count cannot be read");
    }
    for (int j = 0; j < count; ++j) {
      own += new_damage();
      ItemHandle sub_folder;
      if (!obtained(libpff_folder_get_sub_folder(folder, j, sub_folder.out(), &error),
                    sub_folder)) {
        discard_error(&error);
        lose(label + ", sub-folder " + std::to_string(j + 1) + ": libpff cannot read it");
        continue;
      }
      const std::string name = label + "/" + folder_name(sub_folder.get());
      if (path_.size() >= static_cast<size_t>(quillmar::kMaxFolderDepth)) {
        lose(name + ": too deep, not walked");
        continue;
      }
      // A folder already on the path is walked there; the export skips it too.
      const uint32_t id = identifier(sub_folder.get());
      if (id != 0 && std::find(path_.begin(), path_.end(), id) != path_.end()) continue;
      walk_folder(sub_folder.get(), name);
    }
  }

  // Adds to met the damage met before each attachment; the attachments
  // tell their own.
  Checked check_message(libpff_item_t* message, const std::string& name, BlockDamage& met) {
    quillmar::MessageFields fields =
        quillmar::resolve_message_fields(message, archive_name_, nullptr);
    quillmar::correct_from_headers(fields);
    if (quillmar::is_empty_message(fields)) {
      ++result.empty;
      return {name, ", found empty"};
    }
    const std::string quoted = name + " (\"" + quillmar::clean_subject(fields.subject) + "\")";
    const std::optional<std::string> directory =
        find_directory(quillmar::format_mail_text(fields));
    if (!directory) {
      lose(quoted + ": no directory holds its mail.txt");
      return {quoted, ", not written"};
    }
    const std::string path = output_dir_ + "/" + *directory;
    if (!exists(path + "/" + quillmar::kMailOkFileName)) {
      lose(quoted + ": " + *directory + " has no mail.ok");
    }
    check_attachments(message, quoted, path + "/" + quillmar::kAttachmentDirName, met);
    ++result.written;
    return {quoted, " in " + mail_path(*directory)};
  }

  // An attachment's damage is what obtaining it and reading its data met.
  // libpff reads binary data's blocks when its size is asked, but an OLE
  // object's only as its data is read: the data is read through, where
  // libpff counts damage (nothing else needs it).
  void check_attachments(libpff_item_t* message, const std::string& name,
                         const std::string& directory, BlockDamage& met) {
    libpff_error_t* error = nullptr;
    int count = 0;
    if (libpff_message_get_number_of_attachments(message, &count, &error) != 1) {
      discard_error(&error);
      return lose(name + ": its attachment count cannot be read");
    }
    std::vector<ListedFile> on_disk =
        count > 0 ? list_files(directory) : std::vector<ListedFile>();
    for (int i = 0; i < count; ++i) {
      met += new_damage();
      const std::string attachment = name + ", attachment " + std::to_string(i + 1);
      ItemHandle item;
      size64_t size = 0;
      if (!obtained(libpff_message_get_attachment(message, i, item.out(), &error), item) ||
          libpff_attachment_get_data_size(item.get(), &size, &error) != 1) {
        discard_error(&error);
        lose(attachment + ": libpff cannot read it");
        continue;
      }
      if (size == 0) continue;
      if (read_data_) read_data(item.get(), size);
      const BlockDamage read = new_damage();
      const auto found = std::find_if(on_disk.begin(), on_disk.end(),
                                      [size](const ListedFile& file) { return file.size == size; });
      if (found == on_disk.end()) {
        lose(attachment + ": no file of " + std::to_string(size) + " bytes in " + directory);
        tell_damage(read, attachment, ", not written");
        continue;
      }
      tell_damage(read, attachment, " in " + directory + "/" + found->name);
      on_disk.erase(found);
      ++result.attachments;
    }
  }

  // Reads size bytes of the attachment's data, or up to a failed read, into
  // a scratch buffer.
  void read_data(libpff_item_t* attachment, uint64_t size) {
    scratch_.resize(1 << 16);
    libpff_error_t* error = nullptr;
    for (uint64_t done = 0; done < size;) {
      const ssize_t got =
          libpff_attachment_data_read_buffer(attachment, scratch_.data(), scratch_.size(), &error);
      if (got <= 0) break;
      done += static_cast<uint64_t>(got);
    }
    discard_error(&error);
  }

  // The directory holding exactly mail_text: the next number's first, then
  // any directory of this archive not used yet.
  std::optional<std::string> find_directory(const std::string& mail_text) {
    const std::string expected = quillmar::message_directory_name(archive_name_, next_number_);
    progress_.wait_for(static_cast<uint64_t>(next_number_));
    if (!used_.count(expected) && read_file(mail_path(expected)) == mail_text) {
      return use(expected);
    }
    if (!indexed_) index_directories();
    const auto candidates = by_hash_.find(std::hash<std::string>()(mail_text));
    if (candidates == by_hash_.end()) return std::nullopt;
    for (const std::string& name : candidates->second) {
      if (!used_.count(name) && read_file(mail_path(name)) == mail_text) return use(name);
    }
    return std::nullopt;
  }

  std::string mail_path(const std::string& directory) const {
    return output_dir_ + "/" + directory + "/" + quillmar::kMailTextFileName;
  }

  std::string use(const std::string& name) {
    used_.insert(name);
    const std::string digits = name.substr(archive_name_.size() + 1);
    // strtoll saturates: a directory number past any real one cannot throw.
    next_number_ =
        static_cast<int32_t>(std::min<long long>(std::strtoll(digits.c_str(), nullptr, 10),
                                                 INT32_MAX - 1)) + 1;
    return name;
  }

  // Only once the export has ended is the listing final.
  void index_directories() {
    progress_.wait_for(ExportProgress::kEnd);
    indexed_ = true;
    const std::string prefix = archive_name_ + "_";
    for (const DirectoryEntry& entry : list_directory(output_dir_)) {
      const std::string& name = entry.name;
      if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
          name.find_first_not_of("0123456789", prefix.size()) != std::string::npos) {
        continue;
      }
      if (std::optional<std::string> text = read_file(mail_path(name))) {
        by_hash_[std::hash<std::string>()(*text)].push_back(name);
      }
    }
  }

  libpff_file_t* file_;
  const std::string archive_name_;
  const std::string output_dir_;
  const bool count_only_;
  const bool read_data_;        // attachments' data is read to meet its damage
  BlockDamage told_;            // the handle's damage counts charged to something
  std::vector<uint8_t> scratch_;
  std::vector<uint32_t> path_;  // identifiers of the folders being walked
  int32_t next_number_ = 1;
  std::unordered_set<std::string> used_;
  bool indexed_ = false;
  std::unordered_map<size_t, std::vector<std::string>> by_hash_;
  ExportProgress& progress_;
};

Completeness walk(const std::string& archive, const std::string& output_dir, bool count_only,
                  ExportProgress& progress) {
  quillmar::ArchiveFile file;
  libpff_error_t* error = nullptr;
  if (!quillmar::open_archive(file, std::filesystem::u8path(archive), &error)) {
    discard_error(&error);
    Completeness unread;
    unread.missing.push_back("libpff cannot open the archive");
    return unread;
  }
  const std::optional<std::wstring> wide = utf8_to_wide(archive);
  Checker checker(file.get(), quillmar::derive_archive_name(wide.value_or(L"")), output_dir,
                  count_only, progress);
  checker.walk_archive(archive);
  checker.result.archive_read = true;
  return checker.result;
}

}  // namespace

bool count_reached_messages(const std::string& archive, uint64_t* count) {
  ExportProgress ended;
  ended.finish();
  const Completeness counted = walk(archive, std::string(), true, ended);
  *count = counted.reached;
  return counted.archive_read;
}

Completeness check_completeness(const std::string& archive, const std::string& output_dir,
                                ExportProgress& progress) {
  return walk(archive, output_dir, false, progress);
}

}  // namespace pst2txt
