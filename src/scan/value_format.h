// Rendering of raw property values as text, by MAPI value type.
#ifndef QUILLMAR_SCAN_VALUE_FORMAT_H_
#define QUILLMAR_SCAN_VALUE_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillmar {

// Text of a value: UTF-16LE and 8-bit strings decoded, FILETIME as local
// time, 16/32-bit integers in unsigned decimal, booleans "true"/"false".
// Any other type (and too-short integers) is tried as UTF-16 text of at
// least 3 bytes, then as 8-bit text kept only when more than 8/10 of its
// bytes are printable ASCII, TAB, LF or CR. "" means nothing worth showing.
std::string render_value_text(uint32_t value_type, const uint8_t* data,
                              size_t size);

// The bytes unchanged, without their trailing zero bytes.
std::string decode_string8_value(const uint8_t* data, size_t size);

// "YYYY-MM-DD hh:mm:ss" in the host's local time zone for a little-endian
// FILETIME in the first 8 bytes; "" for fewer than 8 bytes or a count of
// 2^63 or more. Sub-second ticks are dropped. Thread-safe.
std::string format_filetime(const uint8_t* data, size_t size);

// 2 gives "Haute", 0 gives "Basse", anything else "Normale".
std::string priority_label(int32_t importance);

}  // namespace quillmar

#endif  // QUILLMAR_SCAN_VALUE_FORMAT_H_
