#include "run/export_run.h"

#include <time.h>

#include <filesystem>
#include <iostream>

#include "message/output_files.h"
#include "message/text_cleanup.h"
#include "properties/entry_types.h"
#include "properties/libpff_handles.h"
#include "quillmar_pst.h"
#include "run/libpff_report.h"
#include "run/mail_export_context.h"
#include "run/text_conversion.h"
#include "walk/folder_walk.h"

namespace quillmar {
namespace {

// Owner of the libpff file object; closes and frees it at the end of the run.
class ArchiveFile {
 public:
  ArchiveFile() = default;
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;
  ~ArchiveFile() { release(); }

  libpff_file_t** out() { return &file_; }
  libpff_file_t* get() const { return file_; }
  void mark_open() { open_ = true; }

  void release() {
    if (open_) libpff_file_close(file_, nullptr);
    open_ = false;
    if (file_ != nullptr) libpff_file_free(&file_, nullptr);
    file_ = nullptr;
  }

 private:
  libpff_file_t* file_ = nullptr;
  bool open_ = false;
};

// Text after the last '/' or '\\'; a drive prefix such as "C:" is not part of
// the name.
std::wstring_view file_name_component(std::wstring_view path) {
  const size_t separator = path.find_last_of(L"/\\");
  if (separator != std::wstring_view::npos) return path.substr(separator + 1);
  const bool has_drive = path.size() >= 2 && path[1] == L':' &&
                         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  return has_drive ? path.substr(2) : path;
}

std::wstring_view stem_of(std::wstring_view name) {
  if (name.size() <= 1 || name == L"..") return name;
  if (name.back() == L'.') return name.substr(0, name.size() - 1);
  const size_t dot = name.rfind(L'.');
  if (dot == std::wstring_view::npos || dot == 0) return name;
  return name.substr(0, dot);
}

// False when libpff cannot give the root folder.
bool walk_root_folder(libpff_file_t* file, MailExportContext& context) {
  libpff_error_t* error = nullptr;
  ItemHandle root;
  if (!obtained(libpff_file_get_root_folder(file, root.out(), &error), root)) {
    report_libpff_error("Root folder non lisible", &error);
    return false;
  }
  std::cout << "Parcours root_folder\n";
  walk_folder(root.get(), context);
  return true;
}

// False when libpff cannot give the message store.
bool walk_message_store(libpff_file_t* file, MailExportContext& context) {
  libpff_error_t* error = nullptr;
  ItemHandle store;
  if (!obtained(libpff_file_get_message_store(file, store.out(), &error), store)) {
    report_libpff_error("Message store non lisible", &error);
    return false;
  }
  std::cout << "Message store OK\n";
  walk_folder_by_identifier(file, store.get(), kEntryFolderIdentifier, "IPM_SUBTREE", context);
  walk_folder_by_identifier(file, store.get(), kEntryFolderIdentifier,
                            "TOP_OF_PERSONAL_FOLDERS", context);
  return true;
}

}  // namespace

std::string derive_archive_name(std::wstring_view pst_path) {
  std::string name = sanitize_file_name(wide_to_utf8(stem_of(file_name_component(pst_path))));
  name.resize(utf8_prefix_length(name, kMaxArchiveNameBytes));
  return name;
}

int32_t run_export(const wchar_t* pst_path, const wchar_t* output_dir) {
  if (pst_path == nullptr || output_dir == nullptr) {
    std::cerr << "Erreur: argument null\n";
    return PST_EXPORT_ERR_NULL_ARGUMENT;
  }
  const std::string archive_utf8 = wide_to_utf8(pst_path);
  const std::filesystem::path archive_path(archive_utf8);
  if (!path_exists(archive_path)) {
    std::cerr << "PST introuvable: " << archive_utf8 << "\n";
    return PST_EXPORT_ERR_ARCHIVE_NOT_FOUND;
  }
  // libpff would wait for ever on a pipe; a directory or device is no archive.
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(archive_path, ignored)) {
    std::cerr << "PST illisible, pas un fichier: " << archive_utf8 << "\n";
    return PST_EXPORT_ERR_ARCHIVE_OPEN;
  }
  // localtime_r reads the time zone as the last tzset left it.
  tzset();
  MailExportContext context;
  context.output_root = std::filesystem::path(wide_to_utf8(output_dir));
  create_directory_tree(context.output_root);
  context.archive_name = derive_archive_name(pst_path);

  std::cout << "libpff version: " << libpff_get_version() << "\n";
  libpff_error_t* error = nullptr;
  ArchiveFile file;
  if (libpff_file_initialize(file.out(), &error) != 1) {
    report_libpff_error("Erreur initialize", &error);
    return PST_EXPORT_ERR_LIBPFF_INIT;
  }
  if (libpff_file_open(file.get(), archive_utf8.c_str(), libpff_get_access_flags_read(),
                       &error) != 1) {
    report_libpff_error("Erreur ouverture PST", &error);
    return PST_EXPORT_ERR_ARCHIVE_OPEN;
  }
  file.mark_open();
  context.mail_number = 1;

  const bool root_read = walk_root_folder(file.get(), context);
  const bool store_read = walk_message_store(file.get(), context);
  file.release();

  const int32_t exported = context.mail_number - 1;
  std::cout << "Termine. Nombre de mails exportes: " << std::to_string(exported) << "\n";
  if (!root_read && !store_read) {
    std::cerr << "Rien n'a pu etre lu dans le PST: " << archive_utf8 << "\n";
    return PST_EXPORT_ERR_ARCHIVE_OPEN;
  }
  return exported;
}

}  // namespace quillmar
