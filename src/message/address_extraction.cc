#include "message/address_extraction.h"

#include <unordered_set>

#include "message/text_cleanup.h"

namespace quillmar {
namespace {

// How the pattern's leftmost, greedy, backtracking search resolves, which the
// scanner below reproduces without backtracking:
// - '@' is in neither the local-part nor the domain class, so the local part
//   of a match is the whole run of local-part bytes from its start up to an
//   '@', and a start position fails unless that run ends at an '@'. For one
//   '@' the leftmost start is the beginning of its run (or the search start).
// - Whether an '@' gives a match, and where the match ends, depends on the
//   '@' alone: among the domain bytes that follow it, the greedy domain gives
//   back bytes until it stops on the last '.' that has a domain byte before
//   it and two letters after it; the match ends after the letters that follow
//   that '.'. No such '.', no match with this '@'.
// Runs after different '@'s are disjoint, so each byte is looked at a bounded
// number of times: linear time, constant stack.

struct Match {
  size_t begin = 0;
  size_t end = 0;  // one past the last byte; begin == end means none
};

bool is_letter(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

bool is_domain_byte(unsigned char byte) {
  return is_letter(byte) || (byte >= '0' && byte <= '9') || byte == '.' ||
         byte == '-';
}

bool is_local_byte(unsigned char byte) {
  return is_domain_byte(byte) || byte == '_' || byte == '%' || byte == '+';
}

unsigned char byte_at(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]);
}

size_t end_of_run(std::string_view text, size_t i, bool (*in_class)(unsigned char)) {
  while (i < text.size() && in_class(byte_at(text, i))) ++i;
  return i;
}

// End of the match whose domain run is text[first, last), or 0 when the run
// holds no '.' with a byte before it and two letters after it.
size_t end_of_domain(std::string_view text, size_t first, size_t last) {
  for (size_t dot = last; dot-- > first + 1;) {
    if (dot + 2 < last && text[dot] == '.' && is_letter(byte_at(text, dot + 1)) &&
        is_letter(byte_at(text, dot + 2))) {
      return end_of_run(text, dot + 1, is_letter);
    }
  }
  return 0;
}

// The leftmost match that starts at or after from.
Match find_address(std::string_view text, size_t from) {
  size_t at = from;
  while ((at = text.find('@', at)) != std::string_view::npos) {
    size_t domain_end = end_of_run(text, at + 1, is_domain_byte);
    if (at > from && is_local_byte(byte_at(text, at - 1))) {
      size_t end = end_of_domain(text, at + 1, domain_end);
      if (end != 0) {
        size_t begin = at - 1;
        while (begin > from && is_local_byte(byte_at(text, begin - 1))) --begin;
        return Match{begin, end};
      }
    }
    at = domain_end;  // no '@' inside a domain run
  }
  return Match{};
}

}  // namespace

std::string extract_first_email_address(std::string_view text) {
  Match match = find_address(text, 0);
  return std::string(text.substr(match.begin, match.end - match.begin));
}

std::string extract_email_addresses(std::string_view text) {
  std::string result;
  std::unordered_set<std::string> seen;
  Match match = find_address(text, 0);
  while (match.end != match.begin) {
    std::string address(text.substr(match.begin, match.end - match.begin));
    if (seen.insert(to_ascii_lower(address)).second) {
      result += address;
      result += ';';
    }
    match = find_address(text, match.end);
  }
  return result;
}

}  // namespace quillmar
