// Look-up of headers in a message's raw transport header block.
#ifndef QUILLMAR_FIELDS_TRANSPORT_HEADERS_H_
#define QUILLMAR_FIELDS_TRANSPORT_HEADERS_H_

#include <array>
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

// find_transport_header for each of names, in one pass over headers.
template <size_t N>
std::array<std::string, N> find_transport_headers(std::string_view headers,
                                                  const std::array<std::string_view, N>& names);

namespace internal {
// The values of the headers names[0..count), into values[0..count).
void find_transport_headers(std::string_view headers, const std::string_view* names,
                            std::string* values, size_t count);
}  // namespace internal

template <size_t N>
std::array<std::string, N> find_transport_headers(std::string_view headers,
                                                  const std::array<std::string_view, N>& names) {
  std::array<std::string, N> values;
  internal::find_transport_headers(headers, names.data(), values.data(), N);
  return values;
}

}  // namespace quillmar

#endif  // QUILLMAR_FIELDS_TRANSPORT_HEADERS_H_
