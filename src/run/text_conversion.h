// Conversions of wide text into the UTF-8 byte strings used everywhere else.
#ifndef QUILLMAR_RUN_TEXT_CONVERSION_H_
#define QUILLMAR_RUN_TEXT_CONVERSION_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmar {

// UTF-16 code units to UTF-8. A NUL unit becomes a 0 byte; an unpaired
// surrogate becomes U+FFFD (EF BF BD). Never fails; empty input gives "".
std::string utf16_to_utf8(std::u16string_view units);

// Little-endian UTF-16 bytes as read from a property record, up to (not
// including) the first zero unit; an odd final byte is ignored. A null
// pointer or fewer than 2 bytes give "".
std::string utf16le_bytes_to_utf8(const uint8_t* data, size_t size);

// A host's wchar_t text to UTF-8. With 32-bit wchar_t each unit is a code
// point; a surrogate value or one above U+10FFFF becomes U+FFFD. With 16-bit
// wchar_t this is utf16_to_utf8.
std::string wide_to_utf8(std::wstring_view text);

}  // namespace quillmar

#endif  // QUILLMAR_RUN_TEXT_CONVERSION_H_
