// Small helpers of the generator's tests: a scratch directory, running an
// external program, reading files.
#ifndef PSTGEN_TESTS_TEST_SUPPORT_H_
#define PSTGEN_TESTS_TEST_SUPPORT_H_

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive.h"

namespace pstgen_test {

// A fresh directory, removed with its content on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A test with a scratch directory into which archives are written.
class ArchiveTest : public ::testing::Test {
 protected:
  // Writes `archive` as archive.pst in the scratch directory; its path.
  std::string write(const pstgen::Archive& archive);

  ScratchDir dir_;
};

struct CommandResult {
  int exit_code = -1;   // -1 when the program did not exit normally
  std::string output;   // standard output and standard error, interleaved
};

// Runs `program` with `args` through the shell, each word quoted.
CommandResult run_program(const std::string& program, const std::vector<std::string>& args);

std::string read_file(const std::filesystem::path& path);

}  // namespace pstgen_test

#endif  // PSTGEN_TESTS_TEST_SUPPORT_H_
