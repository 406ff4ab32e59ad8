// A fixture for tests that run the library through the real libpff on an
// archive the test writes with pstgen: the archive model, a scratch
// directory, whole runs with their console captured, readers of what a run
// wrote, and a check that every libpff object was released.
#ifndef QUILLMAR_TESTS_SUPPORT_EXPORT_FIXTURE_H_
#define QUILLMAR_TESTS_SUPPORT_EXPORT_FIXTURE_H_

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive.h"
#include "support/libpff_faults.h"
#include "support/test_platform.h"

namespace quillmar_test {

using Names = std::vector<std::string>;
// UTF-8 path with '/' separators -> bytes, "<dir>" or "-> target"
using Tree = std::map<std::string, std::string>;

// The console output and result of one run.
struct RunOutput {
  int32_t result = 0;
  std::string out;  // standard output
  std::string err;  // standard error, libpff's error text included
};

class ExportTest : public ::testing::Test {
 protected:
  // A fresh scratch directory; TZ set to UTC; one walker (QUILLMAR_THREADS=1).
  ExportTest();
  ~ExportTest() override;
  // Fails the test when a libpff object or error object is still alive.
  void TearDown() override;

  // The folder "Inbox" under the IPM subtree, made on first use.
  pstgen::Folder& inbox();
  // A message of class IPM.Note with a subject and a body, so that it is
  // not discarded, at the end of `folder` (the Inbox by default).
  pstgen::Message& AddMail(const std::string& subject, const std::string& body = "corps",
                           pstgen::Folder* folder = nullptr);

  // Writes archive_ (or `archive`) to archive_path() and exports it into
  // output_dir().
  RunOutput Export() { return Export(archive_); }
  RunOutput Export(const pstgen::Archive& archive);
  // Export() into an empty output_dir() with call `nth` of `function` made
  // to fail (libpff_faults::inject); checks that nothing leaked.
  RunOutput ExportFailing(const std::string& function, int nth, libpff_faults::Fault fault,
                          uint64_t value = 0);
  // Runs pst_export_to_txt_w with these arguments, capturing the console.
  RunOutput ExportWith(const wchar_t* pst_path, const wchar_t* output_dir);

  // Paths in and out are UTF-8.
  // Bytes of output_dir()/relative; fails the test when it cannot be read.
  std::string Read(const std::string& relative) const;
  // Everything below output_dir()/relative by its path from there: a file's
  // bytes, "<dir>" for a directory, "-> target" for a link (not followed).
  Tree Snapshot(const std::string& relative = "") const;
  // Names in output_dir()/relative, sorted.
  Names List(const std::string& relative = "") const;
  // The subjects in the mail.txt of messages 1, 2, ... up to the first
  // missing directory, joined with ','.
  std::string Subjects() const;
  // output_dir()/Inbox2019_<number padded to 8 digits>, as UTF-8 text.
  std::string Dir(int number) const;
  // The console of a run whose root walk printed `walk` and whose store
  // named no folder.
  static std::string Console(const std::string& walk, int exported);

  std::filesystem::path archive_path() const { return work_ / "Inbox2019.pst"; }
  std::filesystem::path output_dir() const { return work_ / "out"; }
  const std::filesystem::path& work() const { return work_; }

  pstgen::Archive archive_;

 private:
  std::filesystem::path work_;
  pstgen::Folder* inbox_ = nullptr;
};

}  // namespace quillmar_test

#endif  // QUILLMAR_TESTS_SUPPORT_EXPORT_FIXTURE_H_
