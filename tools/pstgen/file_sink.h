// The output file: a buffered append stream that can also patch bytes it has
// already written (map pages and the header are known only at the end).
#ifndef PSTGEN_FILE_SINK_H_
#define PSTGEN_FILE_SINK_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform.h"

namespace pstgen {

class FileSink {
 public:
  // Creates or truncates `path`. Throws std::runtime_error when it cannot.
  explicit FileSink(const std::string& path);
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // Writes `bytes` at `offset`. An offset beyond the current end leaves the
  // gap zero-filled; an offset before it overwrites earlier bytes.
  // Throws std::runtime_error on an I/O error.
  void write_at(uint64_t offset, std::string_view bytes);

  // Offset one past the last byte written so far.
  uint64_t end() const { return end_; }

  // Flushes and closes; throws std::runtime_error on an I/O error. Called by
  // the destructor (which swallows errors) when not called before.
  void close();

 private:
  void append(std::string_view bytes);
  void flush();

  OutputFile file_;
  bool closed_ = false;
  std::string buffer_;      // bytes from flushed_ to end_
  uint64_t flushed_ = 0;    // file offset of buffer_[0]
  uint64_t end_ = 0;
};

}  // namespace pstgen

#endif  // PSTGEN_FILE_SINK_H_
