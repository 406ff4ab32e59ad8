#include "libpff_handles.h"

#include <stdexcept>
#include <vector>

namespace pstgen_test {
namespace {

// The message of `error` (freed), for exceptions.
std::string take_message(libpff_error_t* error) {
  if (error == nullptr) return "unknown libpff error";
  std::vector<char> text(4096, '\0');
  libpff_error_sprint(error, text.data(), text.size());
  libpff_error_free(&error);
  return text.data();
}

void check(int result, libpff_error_t* error, const std::string& what) {
  if (result != 1) throw std::runtime_error(what + ": " + take_message(error));
}

struct RecordSetFree {
  void operator()(libpff_record_set_t* set) const { libpff_record_set_free(&set, nullptr); }
};
struct RecordEntryFree {
  void operator()(libpff_record_entry_t* entry) const { libpff_record_entry_free(&entry, nullptr); }
};

std::string entry_data(libpff_record_entry_t* entry) {
  libpff_error_t* error = nullptr;
  size_t size = 0;
  check(libpff_record_entry_get_data_size(entry, &size, &error), error, "data size");
  std::string data(size, '\0');
  if (size > 0) {
    check(libpff_record_entry_get_data(entry, reinterpret_cast<uint8_t*>(&data[0]), size, &error), error, "data");
  }
  return data;
}

}  // namespace

LibpffFile::LibpffFile(const std::string& path) {
  libpff_error_t* error = nullptr;
  check(libpff_file_initialize(&file_, &error), error, "initialize");
  if (libpff_file_open(file_, path.c_str(), libpff_get_access_flags_read(), &error) != 1) {
    libpff_file_free(&file_, nullptr);
    throw std::runtime_error("open " + path + ": " + take_message(error));
  }
}

LibpffFile::~LibpffFile() {
  libpff_file_close(file_, nullptr);
  libpff_file_free(&file_, nullptr);
}

Item LibpffFile::root_folder() const {
  libpff_item_t* item = nullptr;
  libpff_error_t* error = nullptr;
  check(libpff_file_get_root_folder(file_, &item, &error), error, "root folder");
  return Item(item);
}

Item LibpffFile::message_store() const {
  libpff_item_t* item = nullptr;
  libpff_error_t* error = nullptr;
  check(libpff_file_get_message_store(file_, &item, &error), error, "message store");
  return Item(item);
}

Item LibpffFile::item(uint32_t id) const {
  libpff_item_t* item = nullptr;
  libpff_error_t* error = nullptr;
  if (libpff_file_get_item_by_identifier(file_, id, &item, &error) != 1) {
    libpff_error_free(&error);
    return nullptr;
  }
  return Item(item);
}

std::map<uint32_t, std::string> record_entries(libpff_item_t* item, int set_index) {
  std::map<uint32_t, std::string> out;
  libpff_error_t* error = nullptr;
  int sets = 0;
  check(libpff_item_get_number_of_record_sets(item, &sets, &error), error, "record sets");
  if (set_index >= sets) return out;
  libpff_record_set_t* raw_set = nullptr;
  check(libpff_item_get_record_set_by_index(item, set_index, &raw_set, &error), error, "record set");
  const std::unique_ptr<libpff_record_set_t, RecordSetFree> set(raw_set);
  int entries = 0;
  check(libpff_record_set_get_number_of_entries(set.get(), &entries, &error), error, "entries");
  for (int i = 0; i < entries; ++i) {
    libpff_record_entry_t* raw_entry = nullptr;
    check(libpff_record_set_get_entry_by_index(set.get(), i, &raw_entry, &error), error, "entry");
    const std::unique_ptr<libpff_record_entry_t, RecordEntryFree> entry(raw_entry);
    uint32_t type = 0, value_type = 0;
    check(libpff_record_entry_get_entry_type(entry.get(), &type, &error), error, "entry type");
    check(libpff_record_entry_get_value_type(entry.get(), &value_type, &error), error, "value type");
    out[(type << 16) | value_type] = entry_data(entry.get());
  }
  return out;
}

int sub_folder_count(libpff_item_t* folder) {
  int n = 0;
  libpff_error_t* error = nullptr;
  check(libpff_folder_get_number_of_sub_folders(folder, &n, &error), error, "sub folders");
  return n;
}

int sub_message_count(libpff_item_t* folder) {
  int n = 0;
  libpff_error_t* error = nullptr;
  check(libpff_folder_get_number_of_sub_messages(folder, &n, &error), error, "sub messages");
  return n;
}

Item sub_folder(libpff_item_t* folder, int index) {
  libpff_item_t* item = nullptr;
  libpff_error_t* error = nullptr;
  check(libpff_folder_get_sub_folder(folder, index, &item, &error), error, "sub folder");
  return Item(item);
}

Item sub_message(libpff_item_t* folder, int index) {
  libpff_item_t* item = nullptr;
  libpff_error_t* error = nullptr;
  check(libpff_folder_get_sub_message(folder, index, &item, &error), error, "sub message");
  return Item(item);
}

std::string folder_name(libpff_item_t* folder) {
  std::vector<uint8_t> name(1024, 0);
  libpff_error_t* error = nullptr;
  if (libpff_folder_get_utf8_name(folder, name.data(), name.size(), &error) != 1) {
    libpff_error_free(&error);
    return "";
  }
  return reinterpret_cast<const char*>(name.data());
}

uint32_t identifier(libpff_item_t* item) {
  uint32_t id = 0;
  libpff_error_t* error = nullptr;
  check(libpff_item_get_identifier(item, &id, &error), error, "identifier");
  return id;
}

}  // namespace pstgen_test
