#include "fields/transport_headers.h"

#include "message/text_cleanup.h"

namespace quillmar {
namespace {

bool is_continuation(std::string_view line) {
  return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

std::string_view trim_view(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && is_white_space(static_cast<unsigned char>(text[first]))) ++first;
  while (last > first && is_white_space(static_cast<unsigned char>(text[last - 1]))) --last;
  return text.substr(first, last - first);
}

// The line starting at pos without its LF and one trailing CR; pos moves past
// the LF.
std::string_view next_line(std::string_view text, size_t& pos) {
  size_t lf = text.find('\n', pos);
  size_t end = lf == std::string_view::npos ? text.size() : lf;
  std::string_view line = text.substr(pos, end - pos);
  pos = lf == std::string_view::npos ? text.size() : lf + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

// A header that becomes current is always stored again before anything
// replaces it (by the next line with a colon, or at the end of the text), with
// every continuation line seen until then, whatever stray lines lie between.
// So the stored value of a name is that of its last header line with all the
// continuations up to the next header line, and only that one header's value
// needs to be built; no table of all headers is kept.
namespace internal {

void find_transport_headers(std::string_view headers, const std::string_view* names,
                            std::string* values, size_t count) {
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t current = kNone;  // index of the wanted name of the current header
  size_t pos = 0;
  while (pos < headers.size()) {
    std::string_view line = next_line(headers, pos);
    if (is_continuation(line)) {
      if (current != kNone) {
        values[current] += ' ';
        values[current] += trim_view(line);
      }
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    current = kNone;
    for (size_t i = 0; i < count; ++i) {
      if (!names[i].empty() && equal_ignoring_ascii_case(line.substr(0, colon), names[i])) {
        current = i;
        values[i].assign(line.substr(colon + 1));
        break;
      }
    }
  }
  for (size_t i = 0; i < count; ++i) values[i] = trim_whitespace(std::move(values[i]));
}

}  // namespace internal

std::string find_transport_header(std::string_view headers, std::string_view name) {
  return std::move(find_transport_headers<1>(headers, {name})[0]);
}

}  // namespace quillmar
