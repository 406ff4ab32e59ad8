// The archives the generator's tests write, with what a reader must find in
// them. Expectations come from the test data itself, never from the writer.
#ifndef PSTGEN_TESTS_SAMPLE_ARCHIVES_H_
#define PSTGEN_TESTS_SAMPLE_ARCHIVES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "archive.h"

namespace pstgen_test {

struct ExpectedAttachment {
  std::string long_name;
  std::string data;
};

struct ExpectedMessage {
  std::string folder_path;  // display names from the IPM subtree down, '/'-separated
  uint32_t nid = 0;
  std::string subject;      // UTF-8
  std::string body;         // UTF-8; empty: no body property
  std::string headers;      // transport headers, UTF-8
  size_t recipients = 0;
  std::vector<ExpectedAttachment> attachments;
};

// Nested folders (one with a non-ASCII name), messages carrying every
// property type, non-ASCII subjects, an emoji in a text property, To/Cc/Bcc
// recipients,
// attachments of 0 bytes, a few bytes, 2,500,000 bytes and 9,000,000 bytes
// (an XXBLOCK tree), a 60,000-byte body (an XBLOCK tree) and a message whose
// properties fill more than one heap page.
//
// Subjects start with an ASCII letter and carry no character outside the
// basic plane, because of two reader quirks (libpff 20180714): pffexport
// drops the first two UTF-8 bytes of a subject that starts with a non-ASCII
// character, and libpff's UTF-16 to UTF-8 conversion decodes surrogate pairs
// wrongly (U+1F600 comes out as U+1F201). The raw UTF-16 bytes are right.
std::vector<ExpectedMessage> build_rich_archive(pstgen::Archive& archive);

// `count` small messages spread over two folders, enough to need B-trees of
// three levels.
std::vector<ExpectedMessage> build_many_messages_archive(pstgen::Archive& archive, int count);

// Bytes that differ from one position and seed to the next.
std::string pattern_bytes(size_t size, uint32_t seed);

}  // namespace pstgen_test

#endif  // PSTGEN_TESTS_SAMPLE_ARCHIVES_H_
