#include "fields/message_fields.h"

#include "message/text_cleanup.h"
#include "platform/platform.h"

namespace quillmar {
namespace {

bool contains(const std::string& text, const std::string& part) {
  return contains_bytes(text, part);
}

// Commas become ';'; TAB, LF and CR become blanks; each run of blanks becomes
// one blank. One pass, in place.
void separate_and_squeeze(std::string& text) {
  size_t out = 0;
  for (char c : text) {
    if (c == ',') c = ';';
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    if (c == ' ' && out > 0 && text[out - 1] == ' ') continue;
    text[out++] = c;
  }
  text.resize(out);
}

}  // namespace

std::string normalize_recipient_list(std::string text) {
  text = trim_whitespace(std::move(text));
  separate_and_squeeze(text);
  if (!text.empty() && text.back() != ';') text += ';';
  return text;
}

std::string append_unique_item(std::string list, std::string item) {
  item = trim_whitespace(std::move(item));
  if (item.empty()) return list;
  if (!list.empty() && item.size() <= list.size() && contains(list, item)) {
    return list;
  }
  if (!list.empty() && list.back() != ';') list += ';';
  list += item;
  if (list.back() != ';') list += ';';
  return list;
}

}  // namespace quillmar
