// A fixture for tests that run the library against the fake libpff: an
// archive model, a scratch directory, whole runs with their console output
// captured, and readers of what a run wrote.
#ifndef QUILLMAR_TESTS_SUPPORT_EXPORT_FIXTURE_H_
#define QUILLMAR_TESTS_SUPPORT_EXPORT_FIXTURE_H_

#include <cstdint>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "fake_libpff/fake_libpff.h"

namespace quillmar_test {

// The console output and result of one run.
struct RunOutput {
  int32_t result = 0;
  std::string out;  // standard output
  std::string err;  // standard error, libpff's error text included
};

class ExportTest : public ::testing::Test {
 protected:
  ExportTest();
  ~ExportTest() override;

  // Adds a message with a subject and a body, so that it is not discarded.
  fakepff::Node& AddMail(fakepff::Node& folder, const std::string& subject,
                         const std::string& body = "corps");

  // Runs pst_export_to_txt_w on archive_ (registered at archive_path(),
  // which is created on disk) into output_dir(), capturing the console.
  RunOutput Export();
  // Runs the export entry point with the given arguments, capturing the
  // console; the archive model is registered at archive_path().
  RunOutput ExportWith(const wchar_t* pst_path, const wchar_t* output_dir);

  // Bytes of output_dir()/relative; fails the test when it cannot be read.
  std::string ReadOutput(const std::string& relative) const;
  bool OutputExists(const std::string& relative) const;
  // Names of the entries of output_dir()/relative, sorted.
  std::vector<std::string> ListOutput(const std::string& relative = "") const;

  std::filesystem::path archive_path() const { return work_ / "Inbox2019.pst"; }
  std::filesystem::path output_dir() const { return work_ / "out"; }
  const std::filesystem::path& work() const { return work_; }

  static std::wstring Wide(const std::filesystem::path& path);

  fakepff::Session session_;
  fakepff::Archive archive_;

 private:
  std::filesystem::path work_;
};

// Runs fn with standard output and standard error captured.
template <typename Fn>
RunOutput CaptureConsole(Fn&& fn) {
  RunOutput output;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  output.result = fn();
  output.out = ::testing::internal::GetCapturedStdout();
  output.err = ::testing::internal::GetCapturedStderr();
  return output;
}

}  // namespace quillmar_test

#endif  // QUILLMAR_TESTS_SUPPORT_EXPORT_FIXTURE_H_
