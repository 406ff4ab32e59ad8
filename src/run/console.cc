#include "run/console.h"

#include <cstring>

#include "message/text_cleanup.h"
#include "platform/platform.h"

namespace quillmar {
namespace {

// Longest libpff error message kept; libpff formats them in far less.
constexpr size_t kLibpffMessageBytes = 4096;

void write(bool error, std::string_view bytes) {
  if (error) {
    write_standard_error(bytes);
  } else {
    write_standard_output(bytes);
  }
}

}  // namespace

void Console::put(bool error, std::string_view text) {
  if (mode_ == Mode::kDirect) {
    write(error, text);
  } else if (mode_ == Mode::kRecord) {
    texts_.push_back({mark_, error, std::string(text)});
  }
}

void Console::libpff_error(libpff_error_t* error) {
  if (error == nullptr || mode_ == Mode::kDrop) return;
  if (mode_ == Mode::kDirect) {
    print_libpff_error(error);
    return;
  }
  char text[kLibpffMessageBytes];
  if (libpff_error_sprint(error, text, sizeof text) < 0) return;
  put(true, std::string(text, strnlen(text, sizeof text)) + "\n");
}

void Console::replay(int64_t up_to, std::string_view from, std::string_view to) {
  for (; replayed_ < texts_.size() && texts_[replayed_].mark <= up_to; ++replayed_) {
    std::string& bytes = texts_[replayed_].bytes;
    if (!from.empty()) bytes = replace_all(std::move(bytes), from, to);
    write(texts_[replayed_].error, bytes);
  }
}

void Console::transfer_to(Console& other) {
  for (Text& text : texts_) other.texts_.push_back(std::move(text));
  texts_.clear();
}

}  // namespace quillmar
