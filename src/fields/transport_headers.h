// Look-up of one header in a message's raw transport header block.
#ifndef QUILLMAR_FIELDS_TRANSPORT_HEADERS_H_
#define QUILLMAR_FIELDS_TRANSPORT_HEADERS_H_

#include <string>
#include <string_view>

namespace quillmar {

// The value of the header called name (ASCII case ignored; the name is all
// bytes before the first ':' of its line, untrimmed), unfolded and trimmed.
// Lines end at LF, with one trailing CR removed; a line starting with blank
// or TAB continues the current header. The last occurrence wins. "" when the
// header is absent or empty. Linear in the size of headers.
std::string find_transport_header(std::string_view headers,
                                  std::string_view name);

}  // namespace quillmar

#endif  // QUILLMAR_FIELDS_TRANSPORT_HEADERS_H_
