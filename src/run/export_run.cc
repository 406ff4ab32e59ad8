#include "run/export_run.h"

#include <filesystem>

#include "message/output_files.h"
#include "message/text_cleanup.h"
#include "platform/platform.h"
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
    write_standard_error("Erreur: argument null\n");
    return PST_EXPORT_ERR_NULL_ARGUMENT;
  }
  const std::string archive_utf8 = wide_to_utf8(pst_path);
  const std::filesystem::path archive_path = std::filesystem::u8path(archive_utf8);
  if (!path_exists(archive_path)) {
    // The wide stream would lose every narrow line after it on POSIX; the
    // platform writes the path so that it shows (a console takes UTF-16).
    write_standard_error("PST introuvable: " + archive_utf8 + "\n");
    return PST_EXPORT_ERR_ARCHIVE_NOT_FOUND;
  }
  // libpff would wait for ever on a pipe; a directory or device is no archive.
  if (!is_plain_file(archive_path)) {
    write_standard_error("PST illisible, pas un fichier: " + archive_utf8 + "\n");
    return PST_EXPORT_ERR_ARCHIVE_OPEN;
  }
  load_time_zone();
  MailExportContext context;
  context.output_root = std::filesystem::u8path(wide_to_utf8(output_dir));
  create_directory_tree(context.output_root);
  context.archive_name = derive_archive_name(pst_path);

  write_standard_output(std::string("libpff version: ") + libpff_get_version() + "\n");
  const int walkers = choose_walker_count(archive_path);
  OtherWalkerFiles others = open_other_walker_files(archive_path, walkers);
  libpff_error_t* error = nullptr;
  ArchiveFile file;
  Console direct;
  if (libpff_file_initialize(file.out(), &error) != 1) {
    report_libpff_error(direct, "Erreur initialize", &error);
    return PST_EXPORT_ERR_LIBPFF_INIT;
  }
  if (open_libpff_file(file.get(), archive_path, &error) != 1) {
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
  write_standard_output("Termine. Nombre de mails exportes: " + std::to_string(exported) + "\n");
  if (!walked.root_read && !walked.store_read) {
    write_standard_error("Rien n'a pu etre lu dans le PST: " + archive_utf8 + "\n");
    return PST_EXPORT_ERR_ARCHIVE_OPEN;
  }
  return exported;
}

}  // namespace quillmar
