// Prints, for every message reached by a depth-first walk of an archive's
// root folder (messages in index order, then sub-folders), the subject,
// body and headers that field resolution gives, hex-encoded, one message per
// line: "<index>\t<subject>\t<body>\t<headers>". Used by the cross-check
// against an independent reader.
#include <cstdio>
#include <sstream>
#include <string>

#include <libpff.h>

#include "fields/field_resolution.h"
#include "properties/libpff_handles.h"

namespace {

using quillmar::ItemHandle;

std::string hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

void walk(libpff_item_t* folder, int* index) {
  int count = 0;
  if (libpff_folder_get_number_of_sub_messages(folder, &count, nullptr) == 1) {
    for (int i = 0; i < count; ++i) {
      ItemHandle message;
      if (libpff_folder_get_sub_message(folder, i, message.out(), nullptr) != 1) continue;
      std::ostringstream dump;
      const quillmar::MessageFields fields =
          quillmar::resolve_message_fields(message.get(), "archive", dump);
      std::printf("%d\t%s\t%s\t%s\n", (*index)++, hex(fields.subject).c_str(),
                  hex(fields.body).c_str(), hex(fields.headers).c_str());
    }
  }
  if (libpff_folder_get_number_of_sub_folders(folder, &count, nullptr) == 1) {
    for (int j = 0; j < count; ++j) {
      ItemHandle sub_folder;
      if (libpff_folder_get_sub_folder(folder, j, sub_folder.out(), nullptr) != 1) continue;
      walk(sub_folder.get(), index);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: resolve_fields_dump ARCHIVE\n");
    return 2;
  }
  libpff_file_t* file = nullptr;
  if (libpff_file_initialize(&file, nullptr) != 1 ||
      libpff_file_open(file, argv[1], libpff_get_access_flags_read(), nullptr) != 1) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  ItemHandle root;
  int index = 0;
  if (libpff_file_get_root_folder(file, root.out(), nullptr) == 1) walk(root.get(), &index);
  root.reset();
  libpff_file_close(file, nullptr);
  libpff_file_free(&file, nullptr);
  return 0;
}
