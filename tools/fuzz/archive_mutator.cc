#include "archive_mutator.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <random>
#include <string_view>
#include <unordered_set>

#include "crc.h"

namespace quillmar_fuzz {
namespace {

// The header of a 64-bit archive, by file offset.
constexpr char kMagic[] = {'!', 'B', 'D', 'N'};
constexpr size_t kHeaderBytes = 564;
constexpr size_t kCrcFrom = 8;            // both header CRCs start here
constexpr size_t kCrcPartialAt = 4;       // over kCrcPartialBytes
constexpr size_t kCrcPartialBytes = 471;
constexpr size_t kCrcFullAt = 524;        // over kCrcFullBytes
constexpr size_t kCrcFullBytes = 516;
constexpr size_t kVersionAt = 10;
constexpr uint16_t kFirst64BitVersion = 0x15;     // libpff's reading of wVer
constexpr uint16_t kFirstWidePageVersion = 0x24;
constexpr size_t kNodeRootAt = 216;       // BREF of the node B-tree's root page: bid, offset
constexpr size_t kBlockRootAt = 232;      // BREF of the block B-tree's root page
constexpr size_t kCryptMethodAt = 513;    // bCryptMethod
constexpr uint8_t kCryptNone = 0;
constexpr uint8_t kCryptCompressible = 1;  // a byte substitution of every external data block

// Compressible encoding: the plain value of each stored byte (libpff's table).
constexpr uint8_t kDecode[256] = {
    0x47, 0xf1, 0xb4, 0xe6, 0x0b, 0x6a, 0x72, 0x48, 0x85, 0x4e, 0x9e, 0xeb, 0xe2, 0xf8, 0x94, 0x53,
    0xe0, 0xbb, 0xa0, 0x02, 0xe8, 0x5a, 0x09, 0xab, 0xdb, 0xe3, 0xba, 0xc6, 0x7c, 0xc3, 0x10, 0xdd,
    0x39, 0x05, 0x96, 0x30, 0xf5, 0x37, 0x60, 0x82, 0x8c, 0xc9, 0x13, 0x4a, 0x6b, 0x1d, 0xf3, 0xfb,
    0x8f, 0x26, 0x97, 0xca, 0x91, 0x17, 0x01, 0xc4, 0x32, 0x2d, 0x6e, 0x31, 0x95, 0xff, 0xd9, 0x23,
    0xd1, 0x00, 0x5e, 0x79, 0xdc, 0x44, 0x3b, 0x1a, 0x28, 0xc5, 0x61, 0x57, 0x20, 0x90, 0x3d, 0x83,
    0xb9, 0x43, 0xbe, 0x67, 0xd2, 0x46, 0x42, 0x76, 0xc0, 0x6d, 0x5b, 0x7e, 0xb2, 0x0f, 0x16, 0x29,
    0x3c, 0xa9, 0x03, 0x54, 0x0d, 0xda, 0x5d, 0xdf, 0xf6, 0xb7, 0xc7, 0x62, 0xcd, 0x8d, 0x06, 0xd3,
    0x69, 0x5c, 0x86, 0xd6, 0x14, 0xf7, 0xa5, 0x66, 0x75, 0xac, 0xb1, 0xe9, 0x45, 0x21, 0x70, 0x0c,
    0x87, 0x9f, 0x74, 0xa4, 0x22, 0x4c, 0x6f, 0xbf, 0x1f, 0x56, 0xaa, 0x2e, 0xb3, 0x78, 0x33, 0x50,
    0xb0, 0xa3, 0x92, 0xbc, 0xcf, 0x19, 0x1c, 0xa7, 0x63, 0xcb, 0x1e, 0x4d, 0x3e, 0x4b, 0x1b, 0x9b,
    0x4f, 0xe7, 0xf0, 0xee, 0xad, 0x3a, 0xb5, 0x59, 0x04, 0xea, 0x40, 0x55, 0x25, 0x51, 0xe5, 0x7a,
    0x89, 0x38, 0x68, 0x52, 0x7b, 0xfc, 0x27, 0xae, 0xd7, 0xbd, 0xfa, 0x07, 0xf4, 0xcc, 0x8e, 0x5f,
    0xef, 0x35, 0x9c, 0x84, 0x2b, 0x15, 0xd5, 0x77, 0x34, 0x49, 0xb6, 0x12, 0x0a, 0x7f, 0x71, 0x88,
    0xfd, 0x9d, 0x18, 0x41, 0x7d, 0x93, 0xd8, 0x58, 0x2c, 0xce, 0xfe, 0x24, 0xaf, 0xde, 0xb8, 0x36,
    0xc8, 0xa1, 0x80, 0xa6, 0x99, 0x98, 0xa8, 0x2f, 0x0e, 0x81, 0x65, 0x73, 0xe4, 0xc2, 0xa2, 0x8a,
    0xd4, 0xe1, 0x11, 0xd0, 0x08, 0x8b, 0x2a, 0xf2, 0xed, 0x9a, 0x64, 0x3f, 0xc1, 0x6c, 0xf9, 0xec};

constexpr std::array<uint8_t, 256> make_encode() {
  std::array<uint8_t, 256> encode{};
  for (size_t stored = 0; stored < 256; ++stored) encode[kDecode[stored]] = static_cast<uint8_t>(stored);
  return encode;
}
constexpr std::array<uint8_t, 256> kEncode = make_encode();

// Pages and blocks of the two 64-bit variants.
struct Geometry {
  size_t page_bytes;      // a B-tree page, trailer included
  size_t count_at;        // cEnt, then cEntMax, count_width bytes each; the entries end here
  size_t count_width;
  size_t entry_width_at;  // cbEnt
  size_t level_at;        // cLevel
  size_t trailer_at;      // the page trailer; its CRC covers the bytes before it
  size_t block_align;     // a block, trailer included, is a multiple of this
  size_t block_trailer;   // bytes of a block trailer
  size_t max_block;       // largest block, trailer included
};
constexpr Geometry kPstGeometry{512, 488, 1, 490, 491, 496, 64, 16, 8192};
constexpr Geometry kOstGeometry{4096, 4056, 2, 4060, 4061, 4072, 512, 24, 65536};

// Page and block trailers.
constexpr size_t kPageTypeAt = 0;           // ptype, then its repeat
constexpr size_t kSignatureAt = 2;
constexpr size_t kCrcAt = 4;
constexpr size_t kTrailerBidAt = 8;
constexpr size_t kUncompressedSizeAt = 18;  // 4 KiB page blocks only
constexpr uint8_t kNodeTreePage = 0x81;

// B-tree entries: a branch's (both trees), a block tree leaf's, a node tree leaf's.
constexpr size_t kBranchKeyAt = 0, kBranchBidAt = 8, kBranchOffsetAt = 16, kBranchBytes = 24;
constexpr size_t kBlockBidAt = 0, kBlockOffsetAt = 8, kBlockSizeAt = 16, kBlockRefsAt = 18,
                 kBlockEntryBytes = 20;
constexpr size_t kNodeNidAt = 0, kNodeDataAt = 8, kNodeSubAt = 16, kNodeParentAt = 24,
                 kNodeEntryBytes = 28;

// Internal blocks: data trees (XBLOCK, XXBLOCK) and subnode trees (SLBLOCK, SIBLOCK).
constexpr uint64_t kInternalBid = 0x2;
constexpr uint8_t kDataTree = 0x01;
constexpr uint8_t kSubnodeTree = 0x02;
constexpr size_t kTreeHeaderBytes = 8;  // btype, cLevel, cEnt (2), lcbTotal or padding (4)

// Heap-on-node and its clients.
constexpr uint8_t kHeapSignature = 0xEC;
constexpr size_t kHeapHeaderBytes = 12;  // ibHnpm (2), bSig, bClientSig, hidUserRoot (4), fill (4)
constexpr uint8_t kTableContext = 0x7C;
constexpr uint8_t kPropertyContext = 0xBC;
constexpr uint8_t kTreeOnHeap = 0xB5;
constexpr size_t kTableInfoBytes = 22;   // TCINFO before its column descriptors
constexpr size_t kColumnBytes = 8;
constexpr size_t kTreeOnHeapBytes = 8;   // BTHHEADER

// Bounds on what one parse lists and one field list holds.
constexpr size_t kMaxPages = 4096;
constexpr int kMaxDepth = 8;
constexpr size_t kMaxListed = 64;       // entries, allocations, columns or records of one structure
constexpr size_t kMaxRows = 4;
constexpr size_t kMaxGrowth = 512;      // bytes one mutation may add to a parsed archive
// Mutations in this many leave the checksums as they are.
constexpr uint32_t kStaleChecksumOneIn = 8;

using Rng = std::minstd_rand;

enum class Kind : uint8_t {
  kCount,     // entries, columns, allocations
  kSize,      // a byte count, or an offset inside a block
  kOffset,    // a file offset
  kBid,       // a block or page identifier
  kNid,       // a node identifier
  kHid,       // a heap identifier or HNID
  kLevel,     // a tree level
  kType,      // a signature or type byte
  kPropType,  // a property value type
  kAny,
};

struct Field {
  size_t at;  // file offset
  size_t width;
  Kind kind;
};

constexpr uint8_t kTypeBytes[] = {0x00, 0x01, 0x02, 0x03, 0x4C, 0x6C, 0x7C, 0x80, 0x81, 0x82,
                                  0x83, 0x84, 0x85, 0x86, 0x8C, 0x9C, 0xA5, 0xAC, 0xB5, 0xBC,
                                  0xEC, 0xFF};
constexpr uint16_t kPropTypes[] = {0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006,
                                   0x0007, 0x000A, 0x000B, 0x000D, 0x0014, 0x001E, 0x001F,
                                   0x0040, 0x0048, 0x00FB, 0x00FD, 0x00FE, 0x0102, 0x1002,
                                   0x1003, 0x1014, 0x101E, 0x101F, 0x1040, 0x1048, 0x1102,
                                   0xFFFF};
constexpr uint32_t kKnownNids[] = {0x21, 0x61, 0x122, 0x12D, 0x12E, 0x12F, 0x671, 0x692,
                                   0x8022, 0x8042, 0x8062, 0x200024};
constexpr uint64_t kSizes[] = {0, 1, 2, 8, 12, 16, 63, 64, 496, 512, 3580, 3584, 8176,
                               8192, 65535, 65536, 0x7FFFFFFF, 0xFFFFFFFF};

uint64_t load(const uint8_t* p, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint64_t{p[i]} << (8 * i);
  return value;
}

void store(uint8_t* p, size_t width, uint64_t value) {
  for (size_t i = 0; i < width; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t crc_of(const uint8_t* p, size_t n) {
  return pstgen::pst_crc(std::string_view(reinterpret_cast<const char*>(p), n));
}

// True when [at, at + n) lies inside an input of size bytes.
bool inside(size_t at, size_t n, size_t size) { return at <= size && n <= size - at; }

template <typename T, size_t N>
T pick(const T (&values)[N], Rng& rng) {
  return values[rng() % N];
}

template <typename T>
T pick(const std::vector<T>& values, Rng& rng, T otherwise) {
  return values.empty() ? otherwise : values[rng() % values.size()];
}

const Geometry& geometry_of(const ArchiveLayout& layout) {
  return layout.wide_pages ? kOstGeometry : kPstGeometry;
}

// Lists the pages below the one at offset, and the leaves' blocks and nodes.
class TreeWalk {
 public:
  TreeWalk(const uint8_t* data, size_t size, ArchiveLayout* layout)
      : data_(data), size_(size), layout_(layout), geometry_(geometry_of(*layout)) {}

  void walk(uint64_t offset, bool block_tree, int depth) {
    const Geometry& g = geometry_;
    if (depth > kMaxDepth || layout_->pages.size() >= kMaxPages ||
        !inside(offset, g.page_bytes, size_) || !seen_.insert(offset).second) {
      return;
    }
    const uint8_t* page = data_ + offset;
    layout_->pages.push_back(offset);
    layout_->bids.push_back(load(page + g.trailer_at + kTrailerBidAt, 8));
    const size_t width = page[g.entry_width_at];
    if (width == 0) return;
    const size_t count = std::min<size_t>(load(page + g.count_at, g.count_width), g.count_at / width);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* entry = page + i * width;
      if (page[g.level_at] > 0) {
        if (width >= kBranchBytes) walk(load(entry + kBranchOffsetAt, 8), block_tree, depth + 1);
      } else if (block_tree) {
        if (width >= kBlockEntryBytes) add_block(offset + i * width);
      } else if (width >= kNodeEntryBytes) {
        layout_->nids.push_back(static_cast<uint32_t>(load(entry + kNodeNidAt, 4)));
      }
    }
  }

 private:
  void add_block(size_t entry_at) {
    const uint8_t* entry = data_ + entry_at;
    BlockRef block;
    block.entry = entry_at;
    block.bid = load(entry + kBlockBidAt, 8);
    block.size = load(entry + kBlockSizeAt, 2);
    const uint64_t offset = load(entry + kBlockOffsetAt, 8);
    const size_t align = geometry_.block_align;
    const size_t total = (block.size + geometry_.block_trailer + align - 1) / align * align;
    if (total > geometry_.max_block || !inside(offset, total, size_)) return;
    block.offset = offset;
    block.trailer = offset + total - geometry_.block_trailer;
    layout_->blocks.push_back(block);
    layout_->bids.push_back(block.bid);
  }

  const uint8_t* data_;
  size_t size_;
  ArchiveLayout* layout_;
  const Geometry& geometry_;
  std::unordered_set<uint64_t> seen_;
};

// Fields of the header that libpff reads.
void header_fields(std::vector<Field>* out) {
  out->insert(out->end(), {
      {8, 2, Kind::kType},         // wMagicClient
      {kVersionAt, 2, Kind::kCount},
      {12, 2, Kind::kCount},       // wVerClient
      {32, 8, Kind::kBid},         // bidNextP
      {44 + 4 * 4, 4, Kind::kCount},  // rgnid of messages
      {184, 8, Kind::kOffset},     // ibFileEof
      {192, 8, Kind::kOffset},     // ibAMapLast
      {kNodeRootAt, 8, Kind::kBid},
      {kNodeRootAt + 8, 8, Kind::kOffset},
      {kBlockRootAt, 8, Kind::kBid},
      {kBlockRootAt + 8, 8, Kind::kOffset},
      {248, 1, Kind::kType},       // fAMapValid
      {512, 1, Kind::kType},       // bSentinel
      {513, 1, Kind::kType},       // bCryptMethod
      {516, 8, Kind::kBid},        // bidNextB
  });
}

void page_fields(const uint8_t* data, const Geometry& g, size_t offset, std::vector<Field>* out) {
  const uint8_t* page = data + offset;
  const size_t trailer = offset + g.trailer_at;
  out->insert(out->end(), {
      {offset + g.count_at, g.count_width, Kind::kCount},
      {offset + g.count_at + g.count_width, g.count_width, Kind::kCount},
      {offset + g.entry_width_at, 1, Kind::kSize},
      {offset + g.level_at, 1, Kind::kLevel},
      {trailer + kPageTypeAt, 1, Kind::kType},
      {trailer + kPageTypeAt + 1, 1, Kind::kType},
      {trailer + kTrailerBidAt, 8, Kind::kBid},
  });
  const size_t width = page[g.entry_width_at];
  if (width == 0) return;
  const size_t count = std::min({size_t{load(page + g.count_at, g.count_width)},
                                 g.count_at / width, kMaxListed});
  const bool node_tree = page[g.trailer_at + kPageTypeAt] == kNodeTreePage;
  for (size_t i = 0; i < count; ++i) {
    const size_t at = offset + i * width;
    if (page[g.level_at] > 0 && width >= kBranchBytes) {
      out->insert(out->end(), {{at + kBranchKeyAt, 8, node_tree ? Kind::kNid : Kind::kBid},
                               {at + kBranchBidAt, 8, Kind::kBid},
                               {at + kBranchOffsetAt, 8, Kind::kOffset}});
    } else if (!node_tree && width >= kBlockEntryBytes) {
      out->insert(out->end(), {{at + kBlockBidAt, 8, Kind::kBid},
                               {at + kBlockOffsetAt, 8, Kind::kOffset},
                               {at + kBlockSizeAt, 2, Kind::kSize},
                               {at + kBlockRefsAt, 2, Kind::kCount}});
    } else if (node_tree && width >= kNodeEntryBytes) {
      out->insert(out->end(), {{at + kNodeNidAt, 4, Kind::kNid},
                               {at + kNodeDataAt, 8, Kind::kBid},
                               {at + kNodeSubAt, 8, Kind::kBid},
                               {at + kNodeParentAt, 4, Kind::kNid}});
    }
  }
}

// Fields of a data tree or subnode tree block.
void tree_block_fields(const uint8_t* data, const BlockRef& block, std::vector<Field>* out) {
  if (block.size < kTreeHeaderBytes) return;
  const uint8_t* p = data + block.offset;
  const size_t at = block.offset;
  out->insert(out->end(), {{at, 1, Kind::kType}, {at + 1, 1, Kind::kLevel}, {at + 2, 2, Kind::kCount}});
  const size_t room = block.size - kTreeHeaderBytes;
  if (p[0] == kDataTree) {
    out->push_back({at + 4, 4, Kind::kSize});  // lcbTotal
    const size_t count = std::min({size_t{load(p + 2, 2)}, room / 8, kMaxListed});
    for (size_t i = 0; i < count; ++i) out->push_back({at + 8 + 8 * i, 8, Kind::kBid});
  } else if (p[0] == kSubnodeTree) {
    const size_t width = p[1] == 0 ? 24 : 16;  // SLENTRY: nid, bidData, bidSub; SIENTRY: nid, bid
    const size_t count = std::min({size_t{load(p + 2, 2)}, room / width, kMaxListed});
    for (size_t i = 0; i < count; ++i) {
      const size_t entry = at + kTreeHeaderBytes + width * i;
      out->insert(out->end(), {{entry, 4, Kind::kNid}, {entry + 8, 8, Kind::kBid}});
      if (width == 24) out->push_back({entry + 16, 8, Kind::kBid});
    }
  }
}

// The allocation hid names in the heap of block p[0, size): [*begin, *end)
// inside the block. False for an HNID that names a node, another block's
// allocation, or one the page map does not hold.
bool find_allocation(const uint8_t* p, size_t size, uint64_t hid, size_t* begin, size_t* end) {
  if ((hid & 0x1F) != 0 || (hid >> 16) != 0) return false;
  const size_t index = (hid >> 5) & 0x7FF;
  const size_t map = load(p, 2);
  if (index == 0 || !inside(map, 4 + 2 * (index + 1), size) || index > load(p + map, 2)) {
    return false;
  }
  *begin = load(p + map + 4 + 2 * (index - 1), 2);
  *end = load(p + map + 4 + 2 * index, 2);
  return *begin <= *end && *end <= size;
}

// A B-tree-on-heap header at p + at and its leaf records.
void tree_on_heap_fields(const uint8_t* p, size_t size, size_t base, size_t at, bool properties,
                         std::vector<Field>* out) {
  out->insert(out->end(), {{base + at, 1, Kind::kType},
                           {base + at + 1, 1, Kind::kSize},
                           {base + at + 2, 1, Kind::kSize},
                           {base + at + 3, 1, Kind::kLevel},
                           {base + at + 4, 4, Kind::kHid}});
  const size_t key = p[at + 1], value = p[at + 2];
  size_t begin, end;
  if (key == 0 || key > 8 || value > 8 || !find_allocation(p, size, load(p + at + 4, 4), &begin, &end)) {
    return;
  }
  const size_t count = std::min((end - begin) / (key + value), kMaxListed);
  for (size_t i = 0; i < count; ++i) {
    const size_t record = base + begin + i * (key + value);
    if (properties && key == 2 && value == 6) {  // wPropId, wPropType, dwValueHnid
      out->insert(out->end(), {{record, 2, Kind::kAny},
                               {record + 2, 2, Kind::kPropType},
                               {record + 4, 4, Kind::kHid}});
    } else {
      out->push_back({record, key, Kind::kNid});
      if (value > 0) out->push_back({record + key, value, value == 4 ? Kind::kCount : Kind::kAny});
    }
  }
}

// A table context's TCINFO at p + at, its columns, row index and first rows.
void table_fields(const uint8_t* p, size_t size, size_t base, size_t at, size_t end,
                  std::vector<Field>* out) {
  const size_t info = base + at;
  out->insert(out->end(), {{info, 1, Kind::kType},      {info + 1, 1, Kind::kCount},
                           {info + 2, 2, Kind::kSize},  {info + 4, 2, Kind::kSize},
                           {info + 6, 2, Kind::kSize},  {info + 8, 2, Kind::kSize},
                           {info + 10, 4, Kind::kHid},  {info + 14, 4, Kind::kHid},
                           {info + 18, 4, Kind::kHid}});
  const size_t columns = std::min<size_t>(p[at + 1], (end - at - kTableInfoBytes) / kColumnBytes);
  for (size_t c = 0; c < columns; ++c) {
    const size_t column = info + kTableInfoBytes + c * kColumnBytes;
    out->insert(out->end(), {{column, 2, Kind::kPropType},
                             {column + 2, 2, Kind::kAny},
                             {column + 4, 2, Kind::kSize},
                             {column + 6, 1, Kind::kSize},
                             {column + 7, 1, Kind::kCount}});
  }
  size_t begin, rows_end;
  if (load(p + at + 10, 4) != 0 && find_allocation(p, size, load(p + at + 10, 4), &begin, &rows_end) &&
      rows_end - begin >= kTreeOnHeapBytes) {
    tree_on_heap_fields(p, size, base, begin, false, out);
  }
  const size_t row_bytes = load(p + at + 8, 2);
  if (row_bytes == 0 || !find_allocation(p, size, load(p + at + 14, 4), &begin, &rows_end)) return;
  const size_t rows = std::min((rows_end - begin) / row_bytes, kMaxRows);
  for (size_t r = 0; r < rows; ++r) {
    for (size_t c = 0; c < columns; ++c) {
      const uint8_t* column = p + at + kTableInfoBytes + c * kColumnBytes;
      const size_t cell = begin + r * row_bytes + load(column + 4, 2);
      const size_t width = column[6];
      if ((width == 1 || width == 2 || width == 4 || width == 8) && cell + width <= rows_end) {
        out->push_back({base + cell, width, width == 4 ? Kind::kHid : Kind::kAny});
      }
    }
  }
}

// Fields of a heap-on-node's first block: its header, page map, and the
// client's root structure when the page map finds it.
void heap_fields(const uint8_t* data, const BlockRef& block, std::vector<Field>* out) {
  const uint8_t* p = data + block.offset;
  const size_t size = block.size, base = block.offset;
  out->insert(out->end(), {{base, 2, Kind::kSize},
                           {base + 2, 1, Kind::kType},
                           {base + 3, 1, Kind::kType},
                           {base + 4, 4, Kind::kHid},
                           {base + 8, 4, Kind::kAny}});
  const size_t map = load(p, 2);
  if (inside(map, 4, size)) {
    out->insert(out->end(), {{base + map, 2, Kind::kCount}, {base + map + 2, 2, Kind::kCount}});
    const size_t offsets = std::min<size_t>(load(p + map, 2) + 1, kMaxListed);
    for (size_t i = 0; i < offsets && inside(map + 4 + 2 * i, 2, size); ++i) {
      out->push_back({base + map + 4 + 2 * i, 2, Kind::kSize});
    }
  }
  size_t begin, end;
  if (!find_allocation(p, size, load(p + 4, 4), &begin, &end)) return;
  if (p[3] == kTableContext && end - begin >= kTableInfoBytes) {
    table_fields(p, size, base, begin, end, out);
  } else if (end - begin >= kTreeOnHeapBytes && p[begin] == kTreeOnHeap) {
    tree_on_heap_fields(p, size, base, begin, p[3] == kPropertyContext, out);
  }
}

void block_fields(const uint8_t* data, const ArchiveLayout& layout, const BlockRef& block,
                  std::vector<Field>* out) {
  out->insert(out->end(), {{block.trailer, 2, Kind::kSize},
                           {block.trailer + kSignatureAt, 2, Kind::kAny},
                           {block.trailer + kTrailerBidAt, 8, Kind::kBid}});
  if (layout.wide_pages) out->push_back({block.trailer + kUncompressedSizeAt, 2, Kind::kSize});
  if ((block.bid & kInternalBid) != 0) {
    tree_block_fields(data, block, out);
  } else if (block.size >= kHeapHeaderBytes && data[block.offset + 2] == kHeapSignature) {
    heap_fields(data, block, out);
  }
}

// A new value for a field of this kind: one of the kind's telling values
// mostly, else an edge, a small step or random bits.
uint64_t new_value(const Field& field, uint64_t old, const ArchiveLayout& layout, size_t size,
                   Rng& rng) {
  const uint64_t step = 1 + rng() % 16;
  switch (rng() % 6 == 0 ? Kind::kAny : field.kind) {
    case Kind::kCount:
      switch (rng() % 4) {
        case 0: return old + 1;
        case 1: return old - 1;
        case 2: return old * 2;
        default: return rng() % 3;
      }
    case Kind::kSize:
      return rng() % 2 ? pick(kSizes, rng) : (rng() % 2 ? old + step : old - step);
    case Kind::kOffset:
      switch (rng() % 4) {
        case 0: return pick(layout.pages, rng, size_t{0});
        case 1: return layout.blocks.empty() ? size : pick(layout.blocks, rng, BlockRef{}).offset;
        case 2: return rng() % 2 ? size - rng() % 2 : size + geometry_of(layout).page_bytes;
        default: return rng() % 2 ? old + 64 * step : old - 64 * step;
      }
    case Kind::kBid:
      switch (rng() % 4) {
        case 0: case 1: return pick(layout.bids, rng, uint64_t{0});
        case 2: return old ^ kInternalBid;
        default: return rng() % 2 ? old + 4 : old - 4;
      }
    case Kind::kNid:
      switch (rng() % 4) {
        case 0: return pick(layout.nids, rng, uint32_t{0x21});
        case 1: return pick(kKnownNids, rng);
        case 2: return (old & ~uint64_t{0x1F}) | (rng() % 32);
        default: return rng() % 2 ? old + 32 : old - 32;
      }
    case Kind::kHid:
      switch (rng() % 4) {
        case 0: return (1 + rng() % 8) << 5;
        case 1: return rng() % 2 ? old + 0x20 : old - 0x20;
        case 2: return old + (uint64_t{1} << 16);
        default: return old | (1 + rng() % 31);  // a node's identifier, not a heap's
      }
    case Kind::kLevel:
      return rng() % 4 == 0 ? 0xFF : rng() % 4;
    case Kind::kType:
      return pick(kTypeBytes, rng);
    case Kind::kPropType:
      return pick(kPropTypes, rng);
    case Kind::kAny:
      break;
  }
  switch (rng() % 4) {
    case 0: return 0;
    case 1: return ~uint64_t{0};
    case 2: return old ^ (uint64_t{1} << (rng() % (8 * field.width)));
    default: return (uint64_t{rng()} << 32) ^ rng();
  }
}

// Mutates one field of fields; false when there is none.
bool mutate_field(uint8_t* data, size_t size, const std::vector<Field>& fields,
                  const ArchiveLayout& layout, Rng& rng) {
  if (fields.empty()) return false;
  const Field& field = fields[rng() % fields.size()];
  if (!inside(field.at, field.width, size)) return false;
  const uint64_t old = load(data + field.at, field.width);
  store(data + field.at, field.width, new_value(field, old, layout, size, rng));
  return true;
}

const BlockRef* pick_block(const ArchiveLayout& layout, Rng& rng) {
  return layout.blocks.empty() ? nullptr : &layout.blocks[rng() % layout.blocks.size()];
}

// One field of a block that has fields beyond its trailer's, when a few tries find one.
bool mutate_block_field(uint8_t* data, size_t size, const ArchiveLayout& layout, Rng& rng) {
  std::vector<Field> fields;
  for (int attempt = 0; attempt < 8 && !layout.blocks.empty(); ++attempt) {
    fields.clear();
    block_fields(data, layout, *pick_block(layout, rng), &fields);
    if (fields.size() > 4) break;
  }
  return mutate_field(data, size, fields, layout, rng);
}

// A block's size changed in its leaf entry and its trailer alike, mostly
// within the room its padding leaves.
bool resize_block(uint8_t* data, const ArchiveLayout& layout, Rng& rng) {
  const BlockRef* block = pick_block(layout, rng);
  if (block == nullptr) return false;
  const size_t room = block->trailer - block->offset;
  const uint64_t size = rng() % 4 == 0 ? pick(kSizes, rng) : rng() % (room + 1);
  store(data + block->entry + kBlockSizeAt, 2, size);
  store(data + block->trailer, 2, size);
  return true;
}

// One block's data over another's, as much as both hold.
bool copy_block(uint8_t* data, const ArchiveLayout& layout, Rng& rng) {
  const BlockRef* from = pick_block(layout, rng);
  const BlockRef* to = pick_block(layout, rng);
  if (from == nullptr || from == to) return false;
  std::memmove(data + to->offset, data + from->offset, std::min(from->size, to->size));
  return true;
}

// Every external data block of data[0, size) through table: encodes or decodes them.
void recode_blocks(uint8_t* data, size_t size, const ArchiveLayout& layout, const uint8_t* table) {
  for (const BlockRef& block : layout.blocks) {
    if ((block.bid & kInternalBid) != 0 || !inside(block.offset, block.size, size)) continue;
    for (size_t i = block.offset; i < block.offset + block.size; ++i) data[i] = table[data[i]];
  }
}

bool mutate_block_bytes(uint8_t* data, const ArchiveLayout& layout, ByteMutator bytes, Rng& rng) {
  const BlockRef* block = pick_block(layout, rng);
  if (block == nullptr || block->size == 0) return false;
  bytes(data + block->offset, block->size, block->size);
  return true;
}

}  // namespace

bool parse_archive(const uint8_t* data, size_t size, ArchiveLayout* layout) {
  *layout = ArchiveLayout();
  if (size < kHeaderBytes || std::memcmp(data, kMagic, sizeof kMagic) != 0) return false;
  const uint64_t version = load(data + kVersionAt, 2);
  if (version < kFirst64BitVersion) return false;
  layout->wide_pages = version >= kFirstWidePageVersion;
  TreeWalk walk(data, size, layout);
  walk.walk(load(data + kNodeRootAt + 8, 8), false, 0);
  walk.walk(load(data + kBlockRootAt + 8, 8), true, 0);
  return true;
}

void fix_checksums(uint8_t* data, size_t size, const ArchiveLayout& layout) {
  if (size < kHeaderBytes) return;
  store(data + kCrcPartialAt, 4, crc_of(data + kCrcFrom, kCrcPartialBytes));
  store(data + kCrcFullAt, 4, crc_of(data + kCrcFrom, kCrcFullBytes));
  const Geometry& g = geometry_of(layout);
  for (size_t page : layout.pages) {
    uint8_t* trailer = data + page + g.trailer_at;
    store(trailer + kCrcAt, 4, crc_of(data + page, g.trailer_at));
    store(trailer + kSignatureAt, 2, pstgen::block_signature(page, load(trailer + kTrailerBidAt, 8)));
  }
  for (const BlockRef& block : layout.blocks) {
    uint8_t* trailer = data + block.trailer;
    store(trailer + kCrcAt, 4, crc_of(data + block.offset, block.size));
    store(trailer + kSignatureAt, 2,
          pstgen::block_signature(block.offset, load(trailer + kTrailerBidAt, 8)));
  }
}

size_t mutate_archive(uint8_t* data, size_t size, size_t max_size, uint32_t seed,
                      ByteMutator bytes) {
  Rng rng(seed);
  ArchiveLayout layout;
  if (!parse_archive(data, size, &layout)) return bytes(data, size, max_size);
  // An encoded archive's blocks are mutated as plain bytes, then encoded
  // again; the block list is the one before the mutation, so that every
  // block decoded is encoded once.
  const ArchiveLayout before = layout;
  bool encoded = data[kCryptMethodAt] == kCryptCompressible;
  if (encoded) recode_blocks(data, size, before, kDecode);
  std::vector<Field> fields;
  bool done = false;
  switch (rng() % 17) {
    case 0: case 1: break;
    case 2: case 3: done = mutate_block_bytes(data, layout, bytes, rng); break;
    case 4:
      header_fields(&fields);
      done = mutate_field(data, size, fields, layout, rng);
      break;
    case 5: case 6: case 7:
      if (!layout.pages.empty()) {
        page_fields(data, geometry_of(layout), pick(layout.pages, rng, size_t{0}), &fields);
      }
      done = mutate_field(data, size, fields, layout, rng);
      break;
    case 14: done = resize_block(data, layout, rng); break;
    case 15: done = copy_block(data, layout, rng); break;
    case 16:
      encoded = !encoded;
      data[kCryptMethodAt] = encoded ? kCryptCompressible : kCryptNone;
      done = true;
      break;
    default: done = mutate_block_field(data, size, layout, rng); break;
  }
  // Bytes anywhere, growing the input a little at most: the archive's
  // structures sit at fixed offsets, and bytes past them only slow each run.
  if (!done) size = bytes(data, size, std::min(max_size, size + kMaxGrowth));
  if (encoded) recode_blocks(data, size, before, kEncode.data());
  if (rng() % kStaleChecksumOneIn != 0) {
    parse_archive(data, size, &layout);  // the header's CRCs even when nothing else parses
    fix_checksums(data, size, layout);
  }
  return size;
}

size_t cross_over_archives(const uint8_t* first, size_t first_size, const uint8_t* second,
                           size_t second_size, uint8_t* out, size_t max_out, uint32_t seed) {
  Rng rng(seed);
  ArchiveLayout into, from;
  const size_t size = std::min(first_size, max_out);
  std::memcpy(out, first, size);
  if (!parse_archive(out, size, &into) || !parse_archive(second, second_size, &from) ||
      into.blocks.empty() || from.blocks.empty()) {
    const size_t head = rng() % (size + 1);
    const size_t tail = std::min(second_size - std::min(head, second_size), max_out - head);
    std::memcpy(out + head, second + std::min(head, second_size), tail);
    return head + tail;
  }
  const BlockRef& to = *pick_block(into, rng);
  const BlockRef& source = *pick_block(from, rng);
  const size_t room = to.trailer - to.offset;
  const size_t copied = std::min(source.size, room);
  std::memcpy(out + to.offset, second + source.offset, copied);
  store(out + to.entry + kBlockSizeAt, 2, copied);
  store(out + to.trailer, 2, copied);
  if (parse_archive(out, size, &into)) fix_checksums(out, size, into);
  return size;
}

}  // namespace quillmar_fuzz
