#include "file_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace pstgen {
namespace {

constexpr size_t kBufferLimit = size_t{4} << 20;

[[noreturn]] void fail(const std::string& what, const std::string& path) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

void pwrite_all(int fd, std::string_view bytes, uint64_t offset, const std::string& path) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write", path);
    }
    bytes.remove_prefix(static_cast<size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
}

}  // namespace

FileSink::FileSink(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) fail("cannot create", path);
  buffer_.reserve(kBufferLimit);
}

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
  pwrite_all(fd_, bytes, offset, path_);
}

void FileSink::append(std::string_view bytes) {
  buffer_.append(bytes.data(), bytes.size());
  end_ += bytes.size();
  if (buffer_.size() >= kBufferLimit) flush();
}

void FileSink::flush() {
  pwrite_all(fd_, buffer_, flushed_, path_);
  flushed_ += buffer_.size();
  buffer_.clear();
}

void FileSink::close() {
  if (fd_ < 0) return;
  try {
    flush();
  } catch (...) {
    ::close(fd_);
    fd_ = -1;
    throw;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail("cannot close", path_);
}

}  // namespace pstgen
