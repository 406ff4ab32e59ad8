#include "bytes.h"

namespace pstgen {
namespace {

void put_le(std::string& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) {
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

void store_le(std::string& out, size_t offset, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) {
    out[offset + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

uint64_t load_le(std::string_view in, size_t offset, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<uint8_t>(in[offset + static_cast<size_t>(i)]);
  }
  return value;
}

void put_utf16_unit(std::string& out, uint32_t unit) {
  put_u16(out, static_cast<uint16_t>(unit));
}

void put_code_point(std::string& out, uint32_t cp) {
  if (cp < 0x10000) {
    put_utf16_unit(out, cp);
    return;
  }
  cp -= 0x10000;
  put_utf16_unit(out, 0xD800 + (cp >> 10));
  put_utf16_unit(out, 0xDC00 + (cp & 0x3FF));
}

// Length of the well-formed UTF-8 sequence starting at `i` and its code
// point, or 0 when the bytes there are not a well-formed sequence.
size_t decode_utf8(std::string_view s, size_t i, uint32_t& cp) {
  const uint8_t lead = static_cast<uint8_t>(s[i]);
  size_t len = 0;
  uint32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    len = 2, cp = lead & 0x1Fu, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    len = 3, cp = lead & 0x0Fu, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    len = 4, cp = lead & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const uint8_t c = static_cast<uint8_t>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

void put_u8(std::string& out, uint8_t value) { out.push_back(static_cast<char>(value)); }
void put_u16(std::string& out, uint16_t value) { put_le(out, value, 2); }
void put_u32(std::string& out, uint32_t value) { put_le(out, value, 4); }
void put_u64(std::string& out, uint64_t value) { put_le(out, value, 8); }

void store_u16(std::string& out, size_t offset, uint16_t value) { store_le(out, offset, value, 2); }
void store_u32(std::string& out, size_t offset, uint32_t value) { store_le(out, offset, value, 4); }
void store_u64(std::string& out, size_t offset, uint64_t value) { store_le(out, offset, value, 8); }

uint16_t load_u16(std::string_view in, size_t offset) {
  return static_cast<uint16_t>(load_le(in, offset, 2));
}
uint32_t load_u32(std::string_view in, size_t offset) {
  return static_cast<uint32_t>(load_le(in, offset, 4));
}
uint64_t load_u64(std::string_view in, size_t offset) { return load_le(in, offset, 8); }

std::string utf8_to_utf16le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t cp = 0;
    const size_t len = decode_utf8(utf8, i, cp);
    if (len == 0) {
      put_code_point(out, 0xFFFD);
      ++i;
    } else {
      put_code_point(out, cp);
      i += len;
    }
  }
  return out;
}

}  // namespace pstgen
