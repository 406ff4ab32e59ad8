// Damaged blocks met by a libpff file handle's reads, and the one line that
// names where they were met.
//
// Our libpff counts, per file handle, the data blocks whose checksum or back
// pointer does not match and the index values read from an index page whose
// checksum does not match; the bytes are returned all the same. The counts
// only grow, so what a piece of work met is the difference of two readings
// of the handle that did it. Linked with the system's libpff, which cannot
// count, every reading is zero and damage_is_visible() is false.
#ifndef QUILLMAR_RUN_BLOCK_DAMAGE_H_
#define QUILLMAR_RUN_BLOCK_DAMAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include <libpff.h>

#include "run/console.h"

namespace quillmar {

struct BlockDamage {
  uint64_t data_checksums = 0;    // data blocks whose checksum does not match
  uint64_t data_identifiers = 0;  // data blocks whose back pointer does not match
  uint64_t index_checksums = 0;   // values read from damaged index pages, per lookup

  bool any() const { return data_checksums != 0 || data_identifiers != 0 || index_checksums != 0; }
};

// What was met between reading `before` and reading `after` of one handle.
BlockDamage operator-(const BlockDamage& after, const BlockDamage& before);
BlockDamage& operator+=(BlockDamage& total, const BlockDamage& more);

// Whether the libpff linked counts damaged blocks.
bool damage_is_visible();

// The counts of the handle file, or of the handle item belongs to, so far
// (libpff_file_t and libpff_item_t are one type to the compiler).
// Zero when libpff cannot count or cannot tell.
BlockDamage damage_met_by_file(libpff_file_t* file);
BlockDamage damage_met(libpff_item_t* item);

// What `now`, a reading of a handle, holds beyond `told`, an earlier one,
// which then becomes now.
BlockDamage take_new_damage(const BlockDamage& now, BlockDamage& told);

// The names of the kinds met holds, in the order data checksum, data
// identifier, index, joined by ", ".
std::string damage_kinds(const BlockDamage& met, const char* checksum, const char* identifier,
                         const char* index);

// "Bloc endommage (<kinds>) dans <where>\n", kinds among "somme de
// controle", "identifiant" and "index".
std::string damage_line(const BlockDamage& met, std::string_view where);

// Writes damage_line on console's error stream when met holds any damage.
void tell_damage(Console& console, const BlockDamage& met, std::string_view where);

}  // namespace quillmar

#endif  // QUILLMAR_RUN_BLOCK_DAMAGE_H_
