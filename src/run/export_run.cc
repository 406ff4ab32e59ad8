#include "run/export_run.h"

#include <time.h>

#include <filesystem>
#include <iostream>

#include "message/output_files.h"
#include "message/text_cleanup.h"
#include "properties/libpff_handles.h"
#include "quillmar_pst.h"
#include "run/libpff_report.h"
#include "run/archive_file.h"
#include "run/block_damage.h"
#include "run/console.h"
#include "run/mail_export_context.h"
#include "run/parallel_export.h"
#include "run/text_conversion.h"
#include "walk/folder_walk.h"

namespace quillmar {
namespace {

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
  const int walkers = choose_walker_count(archive_utf8);
  OtherWalkerFiles others = open_other_walker_files(archive_utf8, walkers);
  libpff_error_t* error = nullptr;
  ArchiveFile file;
  Console direct;
  if (libpff_file_initialize(file.out(), &error) != 1) {
    report_libpff_error(direct, "Erreur initialize", &error);
    return PST_EXPORT_ERR_LIBPFF_INIT;
  }
  if (libpff_file_open(file.get(), archive_utf8.c_str(), libpff_get_access_flags_read(),
                       &error) != 1) {
    report_libpff_error(direct, "Erreur ouverture PST", &error);
    return PST_EXPORT_ERR_ARCHIVE_OPEN;
  }
  file.mark_open();
  context.archive_path = archive_utf8;
  context.mail_number = 1;
  context.console = &direct;
  tell_damage(direct, take_new_damage(damage_met_by_file(file.get()), context.damage_told),
              archive_utf8);
  const ArchiveWalk walked = walkers > 1
      ? walk_archive_in_parallel(file, std::move(others), context)
      : walk_archive(file.get(), context);
  file.release();

  const int32_t exported = context.mail_number - 1;
  std::cout << "Termine. Nombre de mails exportes: " << std::to_string(exported) << "\n";
  if (!walked.root_read && !walked.store_read) {
    std::cerr << "Rien n'a pu etre lu dans le PST: " << archive_utf8 << "\n";
    return PST_EXPORT_ERR_ARCHIVE_OPEN;
  }
  return exported;
}

}  // namespace quillmar
