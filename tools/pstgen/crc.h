// The two checksums of the archive format: the 32-bit CRC that guards the
// header, pages and blocks, and the 16-bit signature of pages and blocks.
#ifndef PSTGEN_CRC_H_
#define PSTGEN_CRC_H_

#include <cstdint>
#include <string_view>

namespace pstgen {

// CRC-32 with the reflected polynomial 0xEDB88320, initial value 0 and no
// final XOR (the archive's variant; zlib's crc32 starts from and ends with
// 0xFFFFFFFF). `crc` continues a running value over split input.
uint32_t pst_crc(std::string_view data, uint32_t crc = 0);

// wSig of a block or B-tree page at file offset `ib` with id `bid`.
uint16_t block_signature(uint64_t ib, uint64_t bid);

}  // namespace pstgen

#endif  // PSTGEN_CRC_H_
