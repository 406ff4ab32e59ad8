#include "message/output_files.h"

namespace quillmar {

int write_new_file(const OutputDirectory& directory, const std::string& name,
                   std::string_view bytes) {
  NewFile file(directory, name);
  file.append(bytes);
  return file.close();
}

void report_write_failure(Console& console, const std::filesystem::path& path, int error) {
  console.err("Impossible d'ecrire " + path.u8string() + ": " + system_error_text(error) + "\n");
}

}  // namespace quillmar
