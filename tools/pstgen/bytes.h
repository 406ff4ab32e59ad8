// Little-endian byte assembly and the text encodings the archive format uses.
#ifndef PSTGEN_BYTES_H_
#define PSTGEN_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pstgen {

// Appends `value` in little-endian order.
void put_u8(std::string& out, uint8_t value);
void put_u16(std::string& out, uint16_t value);
void put_u32(std::string& out, uint32_t value);
void put_u64(std::string& out, uint64_t value);

// Overwrites bytes at `offset`. REQUIRES: offset + width <= out.size().
void store_u16(std::string& out, size_t offset, uint16_t value);
void store_u32(std::string& out, size_t offset, uint32_t value);
void store_u64(std::string& out, size_t offset, uint64_t value);

// Reads little-endian values. REQUIRES: offset + width <= in.size().
uint16_t load_u16(std::string_view in, size_t offset);
uint32_t load_u32(std::string_view in, size_t offset);
uint64_t load_u64(std::string_view in, size_t offset);

// UTF-16LE bytes (no terminator) for UTF-8 text. Ill-formed UTF-8 sequences
// become U+FFFD, one per offending byte, so any byte string is accepted.
std::string utf8_to_utf16le(std::string_view utf8);

// Rounds `value` up to a multiple of `unit`. REQUIRES: unit is a power of two.
constexpr uint64_t round_up(uint64_t value, uint64_t unit) {
  return (value + unit - 1) & ~(unit - 1);
}

}  // namespace pstgen

#endif  // PSTGEN_BYTES_H_
