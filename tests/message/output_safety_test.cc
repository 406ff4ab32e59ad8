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
#include <iterator>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "quillmar_pst.h"
#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;  // path -> bytes, "<dir>" or "-> target"

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Tree Snapshot(const fs::path& root) {
  Tree tree;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().lexically_relative(root).string();
    tree[name] = entry.is_symlink()     ? "-> " + fs::read_symlink(entry.path()).string()
                 : entry.is_directory() ? "<dir>"
                                        : ReadFile(entry.path());
  }
  return tree;
}

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
  const Tree whole = Snapshot(output_dir());
  const std::string dir = fs::path(Dir(1)).filename().string() + "/";
  const std::string written[] = {"debug_fields.txt", "mail.txt", "headers.txt", "pj", "pj/a.bin",
                                 "mail.ok"};
  const fs::path victim = work() / "victim";
  enum Kind { kNoInodeLeft, kDiskFull, kShortWrite, kLinkInTheWay };
  const struct { Kind kind; std::string file; Names lost; } rows[] = {
      {kNoInodeLeft, "debug_fields.txt", {"debug_fields.txt", "mail.txt"}},
      {kNoInodeLeft, "mail.txt", {"mail.txt"}},
      {kNoInodeLeft, "pj/a.bin", {"pj/a.bin", "mail.ok"}},
      {kNoInodeLeft, "mail.ok", {"mail.ok"}},
      {kDiskFull, "mail.txt", {"mail.txt"}},
      {kDiskFull, "headers.txt", {"headers.txt", "pj/a.bin"}},
      {kDiskFull, "pj/a.bin", {"pj/a.bin"}},
      {kShortWrite, "debug_fields.txt", {"debug_fields.txt"}},
      {kShortWrite, "mail.txt", {"mail.txt"}},
      {kShortWrite, "headers.txt", {"headers.txt"}},
      {kShortWrite, "pj/a.bin", {"pj/a.bin"}},
      {kLinkInTheWay, "debug_fields.txt", {"debug_fields.txt"}},
      {kLinkInTheWay, "mail.txt", {"mail.txt"}},
      {kLinkInTheWay, "headers.txt", {"headers.txt"}},
      {kLinkInTheWay, "pj/a.bin", {"pj/a.bin"}},
      {kLinkInTheWay, "mail.ok", {"mail.ok"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.kind) + " " + row.file);
    const size_t position = std::find(written, std::end(written), row.file) - written;
    size_t pages_before = 0, pages_after = 0;  // 4 KiB pages of the files around it
    for (size_t i = 0; i < std::size(written); ++i) {
      const std::string& bytes = whole.at(dir + written[i]);
      const size_t pages = bytes == "<dir>" ? 0 : (bytes.size() + 4095) / 4096;
      if (i < position) pages_before += pages;
      if (i > position) pages_after += pages;
    }
    std::string options = "nr_inodes=100";
    if (row.kind == kNoInodeLeft) options = "nr_inodes=" + std::to_string(position + 2);
    if (row.kind == kDiskFull) options += ",size=" + std::to_string(pages_before * 4096);
    if (row.kind == kShortWrite) {
      options += ",size=" + std::to_string((pages_before + pages_after + 1) * 4096);
    }
    ASSERT_TRUE(Mount(options)) << std::strerror(errno);
    std::ofstream(victim) << "victim";
    if (row.kind == kLinkInTheWay) {
      const bool late = row.file == "pj/a.bin" || row.file == "mail.ok";
      libpff_faults::on_call(
          late ? "libpff_attachment_get_data_size" : "libpff_item_get_number_of_record_sets", 1,
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
      if (lost && file == "mail.txt") err += "Impossible d'ecrire mail.txt: " + Dir(1) + "\n";
      if (lost && file != "mail.txt") {
        err += "Impossible d'ecrire " + Dir(1) + "/" + file + ": " +
               (row.kind == kLinkInTheWay ? "File exists" : "No space left on device") + "\n";
      }
    }
    if (row.kind == kLinkInTheWay) expected[dir + row.file] = "-> " + victim.string();
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.result, failed ? 0 : 1);
    EXPECT_TRUE(Snapshot(output_dir()) == expected);
    EXPECT_EQ(ReadFile(victim), "victim");
    Unmount();
  }
}

// A run killed in the middle of a large attachment leaves that message
// without mail.ok, even over a finished earlier run; the next run, with
// links left in its way, gives the tree of an uninterrupted one and writes
// nothing through them.
TEST_F(OutputSafetyTest, RerunsGiveOneTreeAndKilledRunsMarkNothingFinished) {
  AddMail("one").add_attachment({"f.bin", "", "1"});
  const size_t big_size = 48 << 20;
  AddMail("two").add_attachment({"big.bin", "", std::string(big_size, 'z')});
  AddMail("three").add_attachment({"f.bin", "", "3"});
  ASSERT_EQ(Export().result, 3);
  const Tree first = Snapshot(output_dir());

  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(::open("/dev/null", O_WRONLY), 1);
    ::dup2(1, 2);
    ::_exit(pst_export_to_txt_w(Wide(archive_path()).c_str(), Wide(output_dir()).c_str()));
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
    if (fs::exists(fs::path(Dir(n)) / "mail.ok")) EXPECT_EQ(Read(mail), first.at(mail)) << n;
  }
  EXPECT_FALSE(fs::exists(fs::path(Dir(2)) / "mail.ok"));

  const fs::path victim = work() / "victim", elsewhere = work() / "elsewhere";
  std::ofstream(victim) << "victim";
  fs::create_directory(elsewhere);
  fs::remove(fs::path(Dir(1)) / "mail.txt");
  fs::create_symlink(victim, fs::path(Dir(1)) / "mail.txt");
  fs::remove_all(Dir(3));
  fs::create_directory_symlink(elsewhere, Dir(3));
  ASSERT_EQ(ExportWith(Wide(archive_path()).c_str(), Wide(output_dir()).c_str()).result, 3);
  EXPECT_TRUE(Snapshot(output_dir()) == first);
  EXPECT_EQ(ReadFile(victim), "victim");
  EXPECT_TRUE(fs::is_empty(elsewhere));
}

}  // namespace
}  // namespace quillmar_test
