#include "run/block_damage.h"

#include "properties/libpff_handles.h"

// Our libpff's; weak, so that a build on the system's libpff, which lacks
// them, links and finds them null.
extern "C" {
int libpff_file_get_damaged_block_counts(libpff_file_t*, uint64_t*, uint64_t*, uint64_t*,
                                         libpff_error_t**) __attribute__((weak));
int libpff_item_get_damaged_block_counts(libpff_item_t*, uint64_t*, uint64_t*, uint64_t*,
                                         libpff_error_t**) __attribute__((weak));
}

namespace quillmar {
namespace {

template <typename Handle>
BlockDamage read_counts(int (*get)(Handle*, uint64_t*, uint64_t*, uint64_t*, libpff_error_t**),
                        Handle* handle) {
  BlockDamage counts;
  if (get == nullptr || handle == nullptr) return counts;
  libpff_error_t* error = nullptr;
  if (get(handle, &counts.data_checksums, &counts.data_identifiers, &counts.index_checksums,
          &error) != 1) {
    discard_error(&error);
    return BlockDamage();
  }
  return counts;
}

}  // namespace

BlockDamage operator-(const BlockDamage& after, const BlockDamage& before) {
  return {after.data_checksums - before.data_checksums,
          after.data_identifiers - before.data_identifiers,
          after.index_checksums - before.index_checksums};
}

BlockDamage& operator+=(BlockDamage& total, const BlockDamage& more) {
  total.data_checksums += more.data_checksums;
  total.data_identifiers += more.data_identifiers;
  total.index_checksums += more.index_checksums;
  return total;
}

bool damage_is_visible() { return libpff_item_get_damaged_block_counts != nullptr; }

BlockDamage damage_met_by_file(libpff_file_t* file) {
  return read_counts(libpff_file_get_damaged_block_counts, file);
}

BlockDamage damage_met(libpff_item_t* item) {
  return read_counts(libpff_item_get_damaged_block_counts, item);
}

BlockDamage take_new_damage(const BlockDamage& now, BlockDamage& told) {
  const BlockDamage met = now - told;
  told = now;
  return met;
}

std::string damage_kinds(const BlockDamage& met, const char* checksum, const char* identifier,
                         const char* index) {
  std::string kinds;
  auto add = [&kinds](uint64_t count, const char* kind) {
    if (count == 0) return;
    if (!kinds.empty()) kinds += ", ";
    kinds += kind;
  };
  add(met.data_checksums, checksum);
  add(met.data_identifiers, identifier);
  add(met.index_checksums, index);
  return kinds;
}

std::string damage_line(const BlockDamage& met, std::string_view where) {
  std::string line = "Bloc endommage (" +
                     damage_kinds(met, "somme de controle", "identifiant", "index") + ") dans ";
  line += where;
  line += "\n";
  return line;
}

void tell_damage(Console& console, const BlockDamage& met, std::string_view where) {
  if (met.any()) console.err(damage_line(met, where));
}

}  // namespace quillmar
