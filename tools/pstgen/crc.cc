#include "crc.h"

#include <array>
#include <cstddef>

namespace pstgen {
namespace {

using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

// Slicing-by-8 tables: tables[0] is the classic byte table, tables[k] advances
// a byte that is k positions further from the end of an 8-byte word.
constexpr CrcTables make_tables() {
  CrcTables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[0][i] = c;
  }
  for (size_t k = 1; k < 8; ++k) {
    for (size_t i = 0; i < 256; ++i) {
      const uint32_t prev = t[k - 1][i];
      t[k][i] = (prev >> 8) ^ t[0][prev & 0xFF];
    }
  }
  return t;
}

constexpr CrcTables kTables = make_tables();

uint32_t byte_at(std::string_view data, size_t i) { return static_cast<uint8_t>(data[i]); }

}  // namespace

uint32_t pst_crc(std::string_view data, uint32_t crc) {
  size_t i = 0;
  for (; i + 8 <= data.size(); i += 8) {
    const uint32_t lo = crc ^ (byte_at(data, i) | byte_at(data, i + 1) << 8 |
                               byte_at(data, i + 2) << 16 | byte_at(data, i + 3) << 24);
    crc = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
          kTables[4][lo >> 24] ^ kTables[3][byte_at(data, i + 4)] ^
          kTables[2][byte_at(data, i + 5)] ^ kTables[1][byte_at(data, i + 6)] ^
          kTables[0][byte_at(data, i + 7)];
  }
  for (; i < data.size(); ++i) crc = kTables[0][(crc ^ byte_at(data, i)) & 0xFF] ^ (crc >> 8);
  return crc;
}

uint16_t block_signature(uint64_t ib, uint64_t bid) {
  const uint32_t x = static_cast<uint32_t>(ib ^ bid);
  return static_cast<uint16_t>((x >> 16) ^ (x & 0xFFFF));
}

}  // namespace pstgen
