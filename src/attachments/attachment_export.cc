#include "attachments/attachment_export.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "message/output_files.h"
#include "message/text_cleanup.h"
#include "properties/entry_types.h"
#include "properties/libpff_handles.h"
#include "properties/property_reader.h"
#include "run/block_damage.h"
#include "run/libpff_report.h"

namespace quillmar {
namespace {

struct SplitName {
  std::string stem;
  std::string extension;  // from the last '.', unless that '.' starts the name
};

SplitName split_extension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {name, std::string()};
  return {name.substr(0, dot), name.substr(dot)};
}

// stem + suffix + extension, with the stem shortened so the whole fits.
// An extension too long to leave room for a stem is cut like the stem.
std::string fitted_name(SplitName parts, const std::string& suffix) {
  if (parts.extension.size() + suffix.size() + 1 > kMaxFileNameBytes) {
    parts.stem += parts.extension;
    parts.extension.clear();
  }
  const size_t room = kMaxFileNameBytes - suffix.size() - parts.extension.size();
  parts.stem.resize(utf8_prefix_length(parts.stem, room));
  return parts.stem + suffix + parts.extension;
}

// Copies size bytes of data into file. A read that fails or ends early is
// reported, naming path, and keeps the bytes copied so far; a write that
// fails stops the copy and is the caller's to report.
void copy_attachment_data(libpff_item_t* attachment, uint64_t size, NewFile& file,
                          const std::filesystem::path& path, Console& console) {
  libpff_error_t* error = nullptr;
  // Every read asks for at most min(size, chunk) bytes; libpff fills what
  // it returns, so the buffer is not zero-filled first.
  const size_t buffer_size = static_cast<size_t>(std::min<uint64_t>(size, kAttachmentChunkSize));
  const std::unique_ptr<uint8_t[]> buffer(new uint8_t[buffer_size]);
  libpff_attachment_data_seek_offset(attachment, 0, SEEK_SET, nullptr);
  uint64_t remaining = size;
  while (remaining != 0 && file.error() == 0) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(remaining, buffer_size));
    const ssize_t read = libpff_attachment_data_read_buffer(attachment, buffer.get(),
                                                            wanted, &error);
    if (read < 1) {
      report_libpff_error(console, ("Lecture de piece jointe interrompue: " + path.u8string()).c_str(),
                          &error);
      return;
    }
    const size_t got = std::min(static_cast<size_t>(read), wanted);
    file.append(std::string_view(reinterpret_cast<const char*>(buffer.get()), got));
    remaining -= got;
  }
}

// Returns the path of the attachment's file, whether or not one was written.
std::filesystem::path export_attachment(libpff_item_t* attachment, int32_t number,
                                        const OutputDirectory& directory,
                                        NextSuffixes& next_suffix, Console& console) {
  const std::string file_name = choose_attachment_file_name(
      directory, read_attachment_name(attachment, number), number, next_suffix);
  const std::filesystem::path path = directory.path() / std::filesystem::u8path(file_name);
  libpff_error_t* error = nullptr;
  size64_t size = 0;
  if (libpff_attachment_get_data_size(attachment, &size, &error) != 1) {
    report_libpff_error(console, "Erreur lecture taille de piece jointe", &error);
    return path;
  }
  if (size == 0) return path;
  NewFile file(directory, file_name);
  copy_attachment_data(attachment, size, file, path, console);
  if (const int failure = file.close()) report_write_failure(console, path, failure);
  return path;
}

}  // namespace

std::string default_attachment_name(int32_t number) {
  char text[40];
  std::snprintf(text, sizeof text, "piece_jointe_%04d.bin", static_cast<int>(number));
  return text;
}

std::string read_attachment_name(libpff_item_t* attachment, int32_t number) {
  for (uint32_t entry_type : {kEntryAttachLongName, kEntryAttachShortName}) {
    if (std::optional<std::string> name = try_read_text_property(attachment, entry_type)) {
      return *name;
    }
  }
  return default_attachment_name(number);
}

std::string choose_attachment_file_name(const OutputDirectory& directory,
                                        std::string candidate, int32_t number,
                                        NextSuffixes& next_suffix) {
  std::string name = sanitize_file_name(std::move(candidate));
  if (name.empty() || name == kDefaultFileName) name = default_attachment_name(number);
  const SplitName parts = split_extension(name);
  name = fitted_name(parts, std::string());
  if (!name_taken(directory, name)) return name;
  for (uint64_t& k = next_suffix.try_emplace(name, 2).first->second;; ++k) {
    std::string numbered = fitted_name(parts, "_" + std::to_string(k));
    if (!name_taken(directory, numbered)) {
      ++k;
      return numbered;
    }
  }
}

void export_attachments(libpff_item_t* message, const OutputDirectory& message_dir,
                        Console& console, BlockDamage& damage_told) {
  libpff_error_t* error = nullptr;
  int count = 0;
  if (libpff_message_get_number_of_attachments(message, &count, &error) != 1) {
    report_libpff_error(console, "Erreur lecture nombre de pieces jointes", &error);
    count = 0;
  }
  if (count <= 0) {
    message_dir.make_sub_directory(kAttachmentDirName);
    return;
  }
  const OutputDirectory directory = message_dir.create_sub_directory(kAttachmentDirName);
  NextSuffixes next_suffix;
  for (int i = 0; i < count; ++i) {
    ItemHandle attachment;
    if (!obtained(libpff_message_get_attachment(message, i, attachment.out(), &error),
                  attachment)) {
      report_libpff_error(console, "Erreur lecture piece jointe", &error);
      continue;
    }
    const std::filesystem::path path =
        export_attachment(attachment.get(), i + 1, directory, next_suffix, console);
    tell_damage(console, take_new_damage(damage_met(attachment.get()), damage_told),
                path.u8string());
  }
}

}  // namespace quillmar
