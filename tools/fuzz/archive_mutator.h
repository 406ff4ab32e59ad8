// A mutator that knows the structures of a 64-bit PST/OST archive: the
// header, the pages of its two B-trees, the blocks the block B-tree lists,
// and inside blocks the data and subnode trees and the heap-on-node,
// B-tree-on-heap, property and table context headers. A mutation changes one
// field of one structure (a count, offset, size, identifier, level or type)
// or a few bytes of one block, then recomputes the checksums of every
// structure it knows, except in one mutation of eight, which leaves them as
// they are. An archive with compressible encoding is decoded before the
// mutation and encoded after it, and one mutation in seventeen switches the
// encoding on or off. ANSI archives and inputs that do not parse get the
// byte mutator.
#ifndef QUILLMAR_FUZZ_ARCHIVE_MUTATOR_H_
#define QUILLMAR_FUZZ_ARCHIVE_MUTATOR_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillmar_fuzz {

// Mutates data[0, size) in place, to at most max_size bytes, and returns the
// new size: libFuzzer's LLVMFuzzerMutate.
using ByteMutator = size_t (*)(uint8_t* data, size_t size, size_t max_size);

// A block as a leaf entry of the block B-tree lists it.
struct BlockRef {
  size_t offset = 0;   // file offset of its data
  size_t size = 0;     // data bytes, without padding and trailer (the entry's cb)
  size_t trailer = 0;  // file offset of its trailer
  size_t entry = 0;    // file offset of the leaf entry
  uint64_t bid = 0;    // identifier; bit 1 marks an internal block (data or subnode tree)
};

// Where the structures of one input lie. Only structures wholly inside the
// input are listed; a page reached twice is listed once.
struct ArchiveLayout {
  bool wide_pages = false;       // 4 KiB pages and 512-byte block alignment (OST)
  std::vector<size_t> pages;     // offsets of the B-tree pages reached from the header
  std::vector<BlockRef> blocks;  // blocks listed by the block B-tree's leaves
  std::vector<uint64_t> bids;    // identifiers of those blocks and of the pages
  std::vector<uint32_t> nids;    // node identifiers listed by the node B-tree's leaves
};

// The layout of a 64-bit archive. False when data does not begin with the
// header of one (nothing is listed then).
bool parse_archive(const uint8_t* data, size_t size, ArchiveLayout* layout);

// Recomputes the header's two CRCs and the CRC and signature of every page
// and block of layout, which must describe data.
void fix_checksums(uint8_t* data, size_t size, const ArchiveLayout& layout);

// One mutation of data[0, size), at most max_size bytes; returns the new size.
// Deterministic for a given seed. bytes serves inputs that do not parse and
// the mutations that change bytes without knowing their meaning.
size_t mutate_archive(uint8_t* data, size_t size, size_t max_size, uint32_t seed,
                      ByteMutator bytes);

// Writes into out (at most max_out bytes) the first archive with the data of
// one of its blocks replaced by the data of a block of the second; when
// either does not parse, the first's head joined to the second's tail.
// Returns the size written.
size_t cross_over_archives(const uint8_t* first, size_t first_size, const uint8_t* second,
                           size_t second_size, uint8_t* out, size_t max_out, uint32_t seed);

}  // namespace quillmar_fuzz

#endif  // QUILLMAR_FUZZ_ARCHIVE_MUTATOR_H_
