// The cross-check with the programs of other PST readers: pffinfo opens the
// archives, pffexport exports the subjects, bodies, headers, recipients and
// attachment bytes that were put in, readpst reads every message. A test is
// skipped when its program is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "archive.h"
#include "archive_writer.h"
#include "generator.h"
#include "sample_archives.h"
#include "test_support.h"

namespace pstgen_test {
namespace {

namespace fs = std::filesystem;

const std::string kPffinfo = PSTGEN_PFFINFO;
const std::string kPffexport = PSTGEN_PFFEXPORT;
const std::string kReadpst = PSTGEN_READPST;

#define REQUIRE_TOOL(path, name) \
  if ((path).empty()) GTEST_SKIP() << name " is not installed (Debian packages pff-tools, pst-utils)"

std::string message_dir_name(size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "Message%05zu", index + 1);
  return name;
}

size_t count_lines_with(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

// readpst -S writes each message as a file named by its number.
size_t count_message_files(const fs::path& root) {
  size_t n = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name.find_first_not_of("0123456789") == std::string::npos) ++n;
  }
  return n;
}

class ReaderTools : public pstgen_test::ArchiveTest {
 protected:
  // Runs pffexport and returns the directory of the IPM subtree.
  fs::path pffexport(const std::string& archive) {
    const CommandResult r = run_program(kPffexport, {"-f", "all", "-t", dir_.file("out"), archive});
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(r.output.find("rror"), std::string::npos) << r.output;
    return dir_.path() / "out.export" / "Top of Personal Folders";
  }

  fs::path readpst(const std::string& archive) {
    const fs::path out = dir_.path() / "readpst";
    fs::create_directories(out);
    const CommandResult r = run_program(kReadpst, {"-j", "0", "-D", "-S", "-o", out.string(), archive});
    EXPECT_EQ(r.exit_code, 0) << r.output;
    return out;
  }
};

TEST_F(ReaderTools, PffinfoOpensTheArchive) {
  REQUIRE_TOOL(kPffinfo, "pffinfo");
  pstgen::Archive a;
  build_rich_archive(a);
  const CommandResult r = run_program(kPffinfo, {write(a)});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("File type:\t\t64-bit"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Encryption type:\tnone"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Folders:\t\tSubtree, Wastbox, Finder"), std::string::npos) << r.output;
}

TEST_F(ReaderTools, PffexportExportsWhatWasPutIn) {
  REQUIRE_TOOL(kPffexport, "pffexport");
  pstgen::Archive a;
  const std::vector<ExpectedMessage> expected = build_rich_archive(a);
  const fs::path top = pffexport(write(a));
  std::map<std::string, size_t> index_in_folder;
  for (const ExpectedMessage& e : expected) {
    const fs::path dir = top / fs::u8path(e.folder_path) / message_dir_name(index_in_folder[e.folder_path]++);
    SCOPED_TRACE(dir.string());
    ASSERT_TRUE(fs::is_directory(dir));
    EXPECT_NE(read_file(dir / "OutlookHeaders.txt").find("Subject:\t\t\t\t" + e.subject + "\n"), std::string::npos);
    if (!e.body.empty()) {
      EXPECT_EQ(read_file(dir / "Message.txt"), e.body);
    }
    if (!e.headers.empty()) {
      EXPECT_EQ(read_file(dir / "InternetHeaders.txt"), e.headers);
    }
    if (e.recipients > 0) {
      EXPECT_EQ(count_lines_with(read_file(dir / "Recipients.txt"), "Display name:"), e.recipients);
    }
    for (size_t i = 0; i < e.attachments.size(); ++i) {
      const fs::path file = dir / "Attachments" / fs::u8path(std::to_string(i + 1) + "_" + e.attachments[i].long_name);
      ASSERT_TRUE(fs::exists(file)) << file;
      EXPECT_TRUE(read_file(file) == e.attachments[i].data) << file;
    }
  }
  EXPECT_TRUE(fs::is_directory(top / "Deleted Items"));
}

TEST_F(ReaderTools, PffexportListsThousandsOfMessagesInOrder) {
  REQUIRE_TOOL(kPffexport, "pffexport");
  pstgen::Archive a;
  const std::vector<ExpectedMessage> expected = build_many_messages_archive(a, 3000);
  const fs::path top = pffexport(write(a));
  std::map<std::string, size_t> index_in_folder;
  for (const ExpectedMessage& e : expected) {
    const fs::path dir = top / e.folder_path / message_dir_name(index_in_folder[e.folder_path]++);
    ASSERT_EQ(read_file(dir / "Message.txt"), e.body) << dir;
  }
  for (const auto& [folder, count] : index_in_folder) {
    EXPECT_FALSE(fs::exists(top / folder / message_dir_name(count))) << "no extra message in " << folder;
  }
}

TEST_F(ReaderTools, ReadpstReadsEveryMessageAndAttachment) {
  REQUIRE_TOOL(kReadpst, "readpst");
  pstgen::Archive a;
  std::vector<ExpectedMessage> expected = build_rich_archive(a);
  const std::vector<ExpectedMessage> many = build_many_messages_archive(a, 500);
  expected.insert(expected.end(), many.begin(), many.end());
  const fs::path out = readpst(write(a));
  EXPECT_EQ(count_message_files(out), expected.size());
  std::map<std::string, std::string> attachments;  // readpst writes "<n>-<long name>"
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    const std::string name = entry.path().filename().u8string();
    const size_t dash = name.find('-');
    if (entry.is_regular_file() && dash != std::string::npos) attachments[name.substr(dash + 1)] = read_file(entry.path());
  }
  for (const ExpectedMessage& e : expected) {
    for (const ExpectedAttachment& at : e.attachments) {
      if (at.data.empty()) continue;  // readpst writes no file for an empty attachment
      ASSERT_EQ(attachments.count(at.long_name), 1u) << at.long_name;
      EXPECT_TRUE(attachments.at(at.long_name) == at.data) << at.long_name;
    }
  }
}

TEST_F(ReaderTools, GeneratedArchiveIsReadCompletelyByBothReaders) {
  REQUIRE_TOOL(kPffexport, "pffexport");
  REQUIRE_TOOL(kReadpst, "readpst");
  pstgen::GeneratorOptions o;
  o.messages = 1000;
  o.folders = 12;
  o.attachments_per_message = 1;
  o.attachment_every = 5;
  o.attachment_size_min = 1000;
  o.attachment_size_max = 30000;
  const std::string path = dir_.file("generated.pst");
  pstgen::generate_archive(o, path);
  size_t exported = 0, attachments = 0;
  for (const auto& entry : fs::recursive_directory_iterator(pffexport(path))) {
    if (entry.path().filename() == "OutlookHeaders.txt") ++exported;
    if (entry.path().parent_path().filename() == "Attachments") ++attachments;
  }
  EXPECT_EQ(exported, 1000u);
  EXPECT_EQ(attachments, 200u);
  EXPECT_EQ(count_message_files(readpst(path)), 1000u);
}

}  // namespace
}  // namespace pstgen_test
