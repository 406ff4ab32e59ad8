// What a run leaves on disk when the disk says no: an output file that
// cannot be written in full is reported and removed, a link in the way is
// never followed, mail.ok comes last, and a rerun (even after a killed run)
// gives the tree of an uninterrupted one. Full disks are size-limited tmpfs.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "quillmar_pst.h"
#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

namespace fs = std::filesystem;
class OutputSafetyTest : public ExportTest {
 protected:
  ~OutputSafetyTest() override { Unmount(); }
  // Mounts a tmpfs with these options on output_dir(); false when this
  // machine does not allow it.
  bool Mount(const std::string& options) {
    fs::create_directories(output_dir());
    return ::mount("quillmar", output_dir().c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  void Unmount() { ::umount2(output_dir().c_str(), MNT_DETACH); }
};

// One message whose files, in the order they are written, are sized so
// that the one a row aims at is larger than all that follow it.
TEST_F(OutputSafetyTest, FilesThatCannotBeWrittenAreReportedAndRemoved) {
  if (!Mount("size=1m")) GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
  Unmount();
  AddMail("s", std::string(256 << 10, 'b'))
      .set_unicode(0x007D, "X-A: " + std::string(128 << 10, 'h'))
      .set_unicode(0x1035, std::string(128 << 10, 'x'))
      .add_attachment({"a.bin", "", std::string(64 << 10, 'a')});
  ASSERT_EQ(Export().result, 1);
  const Tree whole = Snapshot();
  const std::string dir = fs::path(Dir(1)).filename().string() + "/";
  const std::string written[] = {"debug_fields.txt", "mail.txt", "headers.txt", "pj", "pj/a.bin",
                                 "mail.ok"};
  const fs::path victim = work() / "victim";
  enum Kind { kNoInodeLeft, kDiskFull, kShortWrite, kLinkInTheWay };
  const struct { Kind kind; std::string file; Names lost; } rows[] = {
      {kNoInodeLeft, "debug_fields.txt", {"debug_fields.txt", "mail.txt"}},
      {kNoInodeLeft, "mail.txt", {"mail.txt"}}, {kNoInodeLeft, "mail.ok", {"mail.ok"}},
      {kNoInodeLeft, "pj/a.bin", {"pj/a.bin", "mail.ok"}}, {kDiskFull, "mail.txt", {"mail.txt"}},
      {kDiskFull, "headers.txt", {"headers.txt", "pj/a.bin"}}, {kDiskFull, "pj/a.bin", {"pj/a.bin"}},
      {kShortWrite, "debug_fields.txt", {"debug_fields.txt"}}, {kShortWrite, "mail.txt", {"mail.txt"}},
      {kShortWrite, "headers.txt", {"headers.txt"}}, {kShortWrite, "pj/a.bin", {"pj/a.bin"}},
      {kLinkInTheWay, "mail.txt", {"mail.txt"}}, {kLinkInTheWay, "headers.txt", {"headers.txt"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.kind) + " " + row.file);
    const size_t position = std::find(written, std::end(written), row.file) - written;
    size_t pages[2] = {0, 0};  // 4 KiB pages written before and after the file
    for (size_t i = 0; i < std::size(written); ++i) {
      const size_t size = written[i] == "pj" ? 0 : whole.at(dir + written[i]).size();
      if (i != position) pages[i > position] += (size + 4095) / 4096;
    }
    const size_t room = row.kind == kDiskFull ? pages[0] : pages[0] + pages[1] + 1;
    ASSERT_TRUE(Mount(row.kind == kNoInodeLeft ? "nr_inodes=" + std::to_string(position + 2)
                                               : "size=" + std::to_string(room * 4096)));
    std::ofstream(victim) << "victim";
    if (row.kind == kLinkInTheWay) {
      libpff_faults::on_call("libpff_item_get_number_of_record_sets", 1,
                             [&] { fs::create_symlink(victim, output_dir() / dir / row.file); });
    }
    const RunOutput run = Export();
    libpff_faults::clear_faults();
    Tree expected = whole;
    std::string err;
    const bool failed = std::count(row.lost.begin(), row.lost.end(), "mail.txt") != 0;
    for (const std::string& file : written) {
      const bool lost = std::count(row.lost.begin(), row.lost.end(), file) != 0;
      if (lost || (failed && file != "debug_fields.txt")) expected.erase(dir + file);
      if (lost) {
        const char* reason = row.kind == kLinkInTheWay ? "File exists" : "No space left on device";
        err += file == "mail.txt" ? "Impossible d'ecrire mail.txt: " + Dir(1) + "\n"
                                  : "Impossible d'ecrire " + Dir(1) + "/" + file + ": " + reason + "\n";
      }
    }
    if (row.kind == kLinkInTheWay) expected[dir + row.file] = "-> " + victim.string();
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.result, failed ? 0 : 1);
    EXPECT_TRUE(Snapshot() == expected);
    EXPECT_EQ(Read("../victim"), "victim");
    Unmount();
  }
}

// A run killed in the middle of a large attachment leaves that message
// without mail.ok, even over a finished earlier run; the next run, with a
// link left as a message directory, gives the tree of an uninterrupted one
// and removes nothing through the link.
TEST_F(OutputSafetyTest, RerunsGiveOneTreeAndKilledRunsMarkNothingFinished) {
  AddMail("one").add_attachment({"f.bin", "", "1"});
  const size_t big_size = 48 << 20;
  AddMail("two").add_attachment({"big.bin", "", std::string(big_size, 'z')});
  AddMail("three").add_attachment({"f.bin", "", "3"});
  ASSERT_EQ(Export().result, 3);
  const Tree first = Snapshot();

  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(::open("/dev/null", O_WRONLY), 1);
    ::dup2(1, 2);
    ::_exit(pst_export_to_txt_w(archive_path().wstring().c_str(), output_dir().wstring().c_str()));
  }
  const fs::path big = fs::path(Dir(2)) / "pj" / "big.bin";
  int status = 0;
  std::error_code no_file;
  for (uintmax_t size = 0; size == 0 || size >= big_size; size = fs::file_size(big, no_file)) {
    if (::waitpid(child, &status, WNOHANG) != 0) break;
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it could be killed";
  for (int n = 1; n <= 3; ++n) {
    const std::string mail = fs::path(Dir(n)).filename().string() + "/mail.txt";
    EXPECT_TRUE(!fs::exists(fs::path(Dir(n)) / "mail.ok") || Read(mail) == first.at(mail)) << n;
  }
  EXPECT_FALSE(fs::exists(fs::path(Dir(2)) / "mail.ok"));

  const fs::path elsewhere = work() / "elsewhere";
  fs::create_directory(elsewhere);
  std::ofstream(elsewhere / "kept") << "kept";
  fs::remove_all(Dir(3));
  fs::create_directory_symlink(elsewhere, Dir(3));
  ASSERT_EQ(ExportWith(archive_path().wstring().c_str(), output_dir().wstring().c_str()).result, 3);
  EXPECT_TRUE(Snapshot() == first);
  EXPECT_EQ(Read("../elsewhere/kept"), "kept");
}

}  // namespace
}  // namespace quillmar_test
