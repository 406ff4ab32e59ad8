// The benchmark generator: a deterministic archive of synthetic mail, written
// message by message so that archives of any size stay within a small,
// constant amount of memory.
#ifndef PSTGEN_GENERATOR_H_
#define PSTGEN_GENERATOR_H_

#include <cstdint>
#include <string>

namespace pstgen {

struct GeneratorOptions {
  uint64_t messages = 1000;
  uint32_t folders = 10;                 // mail folders below the IPM subtree (nested after the first five)
  uint32_t attachments_per_message = 0;  // on messages that get attachments
  uint32_t attachment_every = 1;         // messages 1, 1+K, 1+2K... get attachments
  uint64_t attachment_size = 0;          // bytes, when min/max are not given
  uint64_t attachment_size_min = 0;      // with max: uniform size range
  uint64_t attachment_size_max = 0;
  uint64_t body_size = 2000;             // bytes of plain-text body
  uint64_t header_size_min = 1024;       // transport header block size range
  uint64_t header_size_max = 2048;
  uint32_t max_recipients = 4;           // To and Cc together, at least one To
  uint64_t seed = 1;
  // Write the store's 0x35E0 as a PT_LONG naming the first mail folder.
  bool store_folder_identifier = false;
  // Message NIDs normally follow arrival order, interleaving folders as in a
  // live mailbox. With this, each folder's messages get one NID range, the
  // folder last in tree order the lowest (as an archive filled folder by
  // folder): libpff (20180714) looks up each node's parent by a depth-first
  // search from the root while it opens a file, which costs time quadratic
  // in the message count for interleaved NIDs and linear for this order.
  bool group_by_folder = false;
};

struct GeneratorReport {
  uint64_t messages = 0;
  uint64_t attachments = 0;
  uint32_t folders = 0;        // mail folders created (standard ones not counted)
  uint64_t file_size = 0;
};

// Writes the archive described by `options` to `path`.
// Throws std::runtime_error on I/O errors.
GeneratorReport generate_archive(const GeneratorOptions& options, const std::string& path);

}  // namespace pstgen

#endif  // PSTGEN_GENERATOR_H_
