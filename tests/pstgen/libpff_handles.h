// Owning wrappers around the libpff objects the generator's tests read, and
// the one query they all need: the raw entries of a record set.
#ifndef PSTGEN_TESTS_LIBPFF_HANDLES_H_
#define PSTGEN_TESTS_LIBPFF_HANDLES_H_

#include <libpff.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace pstgen_test {

struct ItemFree {
  void operator()(libpff_item_t* item) const { libpff_item_free(&item, nullptr); }
};
using Item = std::unique_ptr<libpff_item_t, ItemFree>;

// An archive opened read-only; throws std::runtime_error with libpff's
// message when it cannot be opened.
class LibpffFile {
 public:
  explicit LibpffFile(const std::string& path);
  ~LibpffFile();
  LibpffFile(const LibpffFile&) = delete;
  LibpffFile& operator=(const LibpffFile&) = delete;

  libpff_file_t* get() const { return file_; }
  Item root_folder() const;
  Item message_store() const;
  // The item with this identifier, or null.
  Item item(uint32_t identifier) const;

 private:
  libpff_file_t* file_ = nullptr;
};

// Tag (entry type << 16 | value type) -> data bytes of record set `set` of
// `item`; empty when the item has no such set.
std::map<uint32_t, std::string> record_entries(libpff_item_t* item, int set = 0);

int sub_folder_count(libpff_item_t* folder);
int sub_message_count(libpff_item_t* folder);
Item sub_folder(libpff_item_t* folder, int index);
Item sub_message(libpff_item_t* folder, int index);
std::string folder_name(libpff_item_t* folder);
uint32_t identifier(libpff_item_t* item);

}  // namespace pstgen_test

#endif  // PSTGEN_TESTS_LIBPFF_HANDLES_H_
