#include "walk/folder_walk.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "message/message_export.h"
#include "properties/entry_types.h"
#include "properties/libpff_handles.h"
#include "properties/property_reader.h"
#include "run/block_damage.h"
#include "run/libpff_report.h"
#include "run/parallel_export.h"

// Our libpff's; weak, so that a build on the system's libpff, which lacks
// it, links and keeps each table until its folder is freed.
extern "C" int libpff_folder_release_sub_messages(libpff_item_t*, libpff_error_t**)
    __attribute__((weak));

namespace quillmar {
namespace {

// Identifiers of the folders from the walk's starting folder down to the
// folder being walked; 0 stands for an identifier libpff could not give
// (real folder identifiers are never 0).
using FolderPath = std::vector<uint32_t>;

std::optional<uint32_t> folder_identifier(libpff_item_t* folder) {
  libpff_error_t* error = nullptr;
  uint32_t identifier = 0;
  if (libpff_item_get_identifier(folder, &identifier, &error) != 1) {
    discard_error(&error);
    return std::nullopt;
  }
  return identifier;
}

// Damage met outside any folder or message: opening the archive, its root
// folder or message store.
void tell_archive_damage(libpff_file_t* file, MailExportContext& context) {
  tell_damage(*context.console, take_new_damage(damage_met_by_file(file), context.damage_told),
              context.archive_path);
}

void walk_messages(libpff_item_t* folder, MailExportContext& context) {
  libpff_error_t* error = nullptr;
  int count = 0;
  const int counted = libpff_folder_get_number_of_sub_messages(folder, &count, &error);
  // Every walker reads the folder's contents table here: damage in it is
  // the folder's, whichever walker exports the messages.
  tell_folder_damage(folder, context, *context.console);
  if (counted != 1) {
    report_libpff_error(*context.console, "Erreur lecture nombre de messages", &error);
    return;
  }
  for (int i = 0; i < count; ++i) {
    if (context.share != nullptr) {
      if (!take_shared_message(folder, i, context)) return;
      continue;
    }
    ItemHandle message;
    if (!obtained(libpff_folder_get_sub_message(folder, i, message.out(), &error), message)) {
      report_libpff_error(*context.console, "Erreur lecture message", &error);
      tell_folder_damage(folder, context, *context.console);
      continue;
    }
    export_message(message.get(), context);
  }
}

void walk_folder_at(libpff_item_t* folder, MailExportContext& context, FolderPath& path);

// Walks one sub-folder unless that would loop or go too deep.
void enter_sub_folder(libpff_item_t* sub_folder, MailExportContext& context,
                      FolderPath& path) {
  if (path.size() >= static_cast<size_t>(kMaxFolderDepth)) {
    context.console->err("Sous-dossier ignore: profondeur maximale de " +
                         std::to_string(kMaxFolderDepth) + " atteinte\n");
    return;
  }
  const std::optional<uint32_t> identifier = folder_identifier(sub_folder);
  if (identifier && std::find(path.begin(), path.end(), *identifier) != path.end()) {
    context.console->err("Sous-dossier ignore: boucle sur le dossier id=" +
                         std::to_string(*identifier) + "\n");
    return;
  }
  path.push_back(identifier.value_or(0));
  walk_folder_at(sub_folder, context, path);
  path.pop_back();
}

void walk_sub_folders(libpff_item_t* folder, MailExportContext& context, FolderPath& path) {
  libpff_error_t* error = nullptr;
  int count = 0;
  const int counted = libpff_folder_get_number_of_sub_folders(folder, &count, &error);
  tell_folder_damage(folder, context, *context.console);
  if (counted != 1) {
    report_libpff_error(*context.console, "Erreur lecture nombre de sous-dossiers", &error);
    return;
  }
  for (int j = 0; j < count; ++j) {
    ItemHandle sub_folder;
    if (!obtained(libpff_folder_get_sub_folder(folder, j, sub_folder.out(), &error),
                  sub_folder)) {
      report_libpff_error(*context.console, "Erreur lecture sous-dossier", &error);
      tell_folder_damage(folder, context, *context.console);
      continue;
    }
    enter_sub_folder(sub_folder.get(), context, path);
  }
}

void walk_folder_at(libpff_item_t* folder, MailExportContext& context, FolderPath& path) {
  tell_folder_damage(folder, context, *context.console);
  walk_messages(folder, context);
  release_contents_table(folder);
  walk_sub_folders(folder, context, path);
}

}  // namespace

void release_contents_table(libpff_item_t* folder) {
  if (libpff_folder_release_sub_messages == nullptr) return;
  libpff_error_t* error = nullptr;
  if (libpff_folder_release_sub_messages(folder, &error) != 1) discard_error(&error);
}

void tell_folder_damage(libpff_item_t* folder, MailExportContext& context, Console& console) {
  const BlockDamage met = take_new_damage(damage_met(folder), context.damage_told);
  if (met.any()) {
    tell_damage(console, met,
                "le dossier id=" + std::to_string(folder_identifier(folder).value_or(0)));
  }
}

void walk_folder(libpff_item_t* folder, MailExportContext& context) {
  FolderPath path{folder_identifier(folder).value_or(0)};
  walk_folder_at(folder, context, path);
}

void walk_folder_by_identifier(libpff_file_t* file, libpff_item_t* store,
                               uint32_t entry_type, const char* label,
                               MailExportContext& context) {
  const uint32_t identifier = read_u32_property(store, entry_type, 0);
  tell_archive_damage(file, context);
  context.console->out(std::string(label) + " id=" + std::to_string(identifier) + "\n");
  if (identifier == 0) return;

  libpff_error_t* error = nullptr;
  ItemHandle folder;
  if (!obtained(libpff_file_get_item_by_identifier(file, identifier, folder.out(), &error),
                folder)) {
    report_libpff_error(*context.console, "Impossible d'ouvrir dossier par identifiant", &error);
    tell_archive_damage(file, context);
    return;
  }
  context.console->out(std::string("Parcours ") + label + "\n");
  walk_folder(folder.get(), context);
}

ArchiveWalk walk_archive(libpff_file_t* file, MailExportContext& context) {
  ArchiveWalk walked;
  libpff_error_t* error = nullptr;
  ItemHandle root;
  if (obtained(libpff_file_get_root_folder(file, root.out(), &error), root)) {
    walked.root_read = true;
    context.console->out("Parcours root_folder\n");
    walk_folder(root.get(), context);
  } else {
    report_libpff_error(*context.console, "Root folder non lisible", &error);
    tell_archive_damage(file, context);
  }
  ItemHandle store;
  const bool store_read = obtained(libpff_file_get_message_store(file, store.out(), &error), store);
  tell_archive_damage(file, context);
  if (store_read) {
    walked.store_read = true;
    context.console->out("Message store OK\n");
    walk_folder_by_identifier(file, store.get(), kEntryFolderIdentifier, "IPM_SUBTREE", context);
    walk_folder_by_identifier(file, store.get(), kEntryFolderIdentifier,
                              "TOP_OF_PERSONAL_FOLDERS", context);
  } else {
    report_libpff_error(*context.console, "Message store non lisible", &error);
  }
  return walked;
}

}  // namespace quillmar
