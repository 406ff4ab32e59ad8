#include "message/output_files.h"

#include <fstream>

namespace quillmar {

bool write_whole_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

void create_directory_tree(const std::filesystem::path& directory) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  // An existing non-directory and an empty path are errors here too.
  if (error) throw std::filesystem::filesystem_error("create_directories", directory, error);
}

bool path_exists(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error && status.type() != std::filesystem::file_type::not_found) {
    throw std::filesystem::filesystem_error("exists", path, error);
  }
  return std::filesystem::exists(status);
}

}  // namespace quillmar
