// E-mail addresses in free text, as matched by the ECMAScript pattern
//   ([A-Za-z0-9._%+\-]+@[A-Za-z0-9.\-]+\.[A-Za-z]{2,})
// (leftmost match, greedy quantifiers with backtracking, one byte per
// character, bytes >= 0x80 match nothing). The scanner is linear in the
// length of the text and uses constant stack, whatever the input.
#ifndef QUILLMAR_MESSAGE_ADDRESS_EXTRACTION_H_
#define QUILLMAR_MESSAGE_ADDRESS_EXTRACTION_H_

#include <string>
#include <string_view>

namespace quillmar {

// The first address in text, spelled as in text; "" when there is none.
std::string extract_first_email_address(std::string_view text);

// Every distinct address (ASCII case ignored), in order of first occurrence
// and spelled as first found, each followed by ';'; "" when there is none.
// Matches do not overlap: each search resumes after the previous match.
std::string extract_email_addresses(std::string_view text);

}  // namespace quillmar

#endif  // QUILLMAR_MESSAGE_ADDRESS_EXTRACTION_H_
