#include "message/text_cleanup.h"

#include <algorithm>
#include <cstring>

namespace quillmar {
namespace {

constexpr char kReplacementByte = '_';
constexpr char kForbiddenInFileName[] = "\\/:*?\"<>|";

bool is_control(unsigned char byte) { return byte < 0x20; }

bool is_forbidden_in_file_name(unsigned char byte) {
  return std::memchr(kForbiddenInFileName, byte, sizeof(kForbiddenInFileName) - 1) !=
         nullptr;
}

}  // namespace

bool is_white_space(unsigned char byte) {
  return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

std::string trim_whitespace(std::string text) {
  auto is_space = [](char c) { return is_white_space(static_cast<unsigned char>(c)); };
  auto last = std::find_if_not(text.rbegin(), text.rend(), is_space);
  text.erase(last.base(), text.end());
  auto first = std::find_if_not(text.begin(), text.end(), is_space);
  text.erase(text.begin(), first);
  return text;
}

std::string replace_all(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string to_ascii_lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return text;
}

std::string clean_subject(std::string subject) {
  auto dropped = [](char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return is_control(byte) && byte != '\t';
  };
  subject.erase(std::remove_if(subject.begin(), subject.end(), dropped),
                subject.end());
  subject = trim_whitespace(std::move(subject));
  if (subject.empty()) return kDefaultSubject;
  return subject;
}

size_t utf8_prefix_length(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t length = limit;
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return length;
}

std::string sanitize_file_name(std::string name) {
  for (char& c : name) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (is_control(byte) || is_forbidden_in_file_name(byte)) c = kReplacementByte;
  }
  name = trim_whitespace(std::move(name));
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    name.pop_back();
  }
  if (name.empty()) return kDefaultFileName;
  return name;
}

}  // namespace quillmar
