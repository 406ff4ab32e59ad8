#include "file_sink.h"

namespace pstgen {
namespace {

constexpr size_t kBufferLimit = size_t{4} << 20;

}  // namespace

FileSink::FileSink(const std::string& path) : file_(path) { buffer_.reserve(kBufferLimit); }

FileSink::~FileSink() {
  try {
    close();
  } catch (...) {
  }
}

void FileSink::write_at(uint64_t offset, std::string_view bytes) {
  if (offset >= end_) {
    if (offset > end_) append(std::string(offset - end_, '\0'));
    append(bytes);
    return;
  }
  const uint64_t tail = offset + bytes.size();
  if (tail > end_) {
    write_at(offset, bytes.substr(0, end_ - offset));
    append(bytes.substr(end_ - offset));
    return;
  }
  if (offset >= flushed_) {
    buffer_.replace(offset - flushed_, bytes.size(), bytes.data(), bytes.size());
    return;
  }
  if (tail > flushed_) flush();
  file_.write_at(offset, bytes);
}

void FileSink::append(std::string_view bytes) {
  buffer_.append(bytes.data(), bytes.size());
  end_ += bytes.size();
  if (buffer_.size() >= kBufferLimit) flush();
}

void FileSink::flush() {
  file_.write_at(flushed_, buffer_);
  flushed_ += buffer_.size();
  buffer_.clear();
}

void FileSink::close() {
  if (closed_) return;
  closed_ = true;
  flush();  // on failure the file is closed by file_'s destructor
  file_.close();
}

}  // namespace pstgen
