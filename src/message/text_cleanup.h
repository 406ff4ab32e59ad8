// Byte-level text helpers shared by the whole library. They never decode
// UTF-8 and never change a byte of 0x80 or above.
// White space is exactly TAB, LF, VT, FF, CR and blank, whatever the locale.
#ifndef QUILLMAR_MESSAGE_TEXT_CLEANUP_H_
#define QUILLMAR_MESSAGE_TEXT_CLEANUP_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmar {

// Subject written for a message whose subject cleans up to nothing.
inline constexpr char kDefaultSubject[] = "(sans sujet)";
// File name given to a name that sanitizes to nothing.
inline constexpr char kDefaultFileName[] = "fichier";

bool is_white_space(unsigned char byte);

// Text without leading and trailing white space.
std::string trim_whitespace(std::string text);

// text with every occurrence of from (not empty) replaced by to, left to
// right, replacements not searched again.
std::string replace_all(std::string text, std::string_view from, std::string_view to);

// Text with A..Z lower-cased; every other byte unchanged.
std::string to_ascii_lower(std::string text);

// One-line subject: control bytes other than TAB dropped, then trimmed;
// "(sans sujet)" when nothing is left. Idempotent.
std::string clean_subject(std::string subject);

// Length of the longest prefix of text of at most limit bytes that does not
// end inside a UTF-8 sequence (the one place these helpers look at UTF-8).
size_t utf8_prefix_length(const std::string& text, size_t limit);

// One safe file-name component: the nine forbidden bytes \ / : * ? " < > |
// and control bytes become '_', blanks are trimmed, any trailing run of dots
// and blanks is removed; "fichier" when nothing is left. No length limit.
std::string sanitize_file_name(std::string name);

}  // namespace quillmar

#endif  // QUILLMAR_MESSAGE_TEXT_CLEANUP_H_
