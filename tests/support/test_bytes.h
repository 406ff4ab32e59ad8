// Byte builders shared by tests.
#ifndef QUILLMAR_TESTS_SUPPORT_TEST_BYTES_H_
#define QUILLMAR_TESTS_SUPPORT_TEST_BYTES_H_

#include <string>

namespace quillmar_test {

// ASCII text as UTF-16LE bytes, without terminator.
inline std::string utf16(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) bytes += {c, '\0'};
  return bytes;
}

}  // namespace quillmar_test

#endif  // QUILLMAR_TESTS_SUPPORT_TEST_BYTES_H_
