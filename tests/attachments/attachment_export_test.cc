// export_attachments against the fake libpff: file naming and uniqueness,
// shortening of over-long names, the chunked copy, and the silent skips.
#include "attachments/attachment_export.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/export_fixture.h"

namespace quillmar {
namespace {

namespace fs = std::filesystem;
using fakepff::Call;
using fakepff::Failure;
using fakepff::Node;
using quillmar_test::CaptureConsole;
using quillmar_test::ExportTest;
using quillmar_test::RunOutput;

// Name -> bytes of each file; "<directory>" and "<link>" for the others.
using Files = std::map<std::string, std::string>;

Files ReadDirectory(const fs::path& directory) {
  Files files;
  for (const auto& entry : fs::directory_iterator(directory)) {
    std::string& content = files[entry.path().filename().string()];
    if (entry.is_symlink()) {
      content = "<link>";
    } else if (entry.is_directory()) {
      content = "<directory>";
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      content.assign(std::istreambuf_iterator<char>(in), {});
    }
  }
  return files;
}

std::string Repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

// Bytes that differ from one offset to the next across chunk boundaries.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

// One attachment: its name entries and data.
struct Attachment {
  std::optional<std::string> long_name;   // 0x3707
  std::optional<std::string> short_name;  // 0x3704
  std::string data = "x";
  std::optional<Call> long_name_fails = std::nullopt;  // this read of 0x3707 fails
};

class AttachmentExportTest : public ExportTest {
 protected:
  void TearDown() override { EXPECT_EQ(fakepff::audit(), ""); }

  Node& AddAttachment(Node& message, const Attachment& spec) {
    Node& attachment = message.add_attachment(spec.data);
    if (spec.long_name) attachment.set_unicode(0x3707, *spec.long_name);
    if (spec.long_name_fails) attachment.fail_at(*spec.long_name_fails, 0x3707);
    if (spec.short_name) attachment.set_unicode(0x3704, *spec.short_name);
    return attachment;
  }

  // A new message holding the attachments.
  Node& AddMessage(const std::vector<Attachment>& attachments) {
    Node& message = archive_.root().add_message();
    for (const Attachment& spec : attachments) AddAttachment(message, spec);
    return message;
  }

  // export_attachments into work()/dir_name; the files of its "pj".
  Files ExportInto(Node& message, const std::string& dir_name) {
    const fs::path message_dir = work() / dir_name;
    {
      fakepff::ScopedItem item(message);
      const RunOutput run = CaptureConsole([&] {
        export_attachments(item.get(), message_dir);
        return 0;
      });
      EXPECT_EQ(run.out + run.err, "") << dir_name << ": attachments write nothing";
    }
    return ReadDirectory(message_dir / "pj");
  }
};

TEST_F(AttachmentExportTest, NamesAreSanitizedDefaultedAndMadeUnique) {
  const struct {
    const char* name;
    std::vector<Attachment> attachments;
    Files files;
  } rows[] = {
      {"same name thrice",
       {{"report.pdf", {}, "1"}, {"report.pdf", {}, "2"}, {"report.pdf", {}, "3"}},
       {{"report.pdf", "1"}, {"report_2.pdf", "2"}, {"report_3.pdf", "3"}}},
      {"suffix before the last extension",
       {{"archive.tar.gz", {}, "1"}, {"archive.tar.gz", {}, "2"}},
       {{"archive.tar.gz", "1"}, {"archive.tar_2.gz", "2"}}},
      {"no dot", {{"README", {}, "1"}, {"README", {}, "2"}}, {{"README", "1"}, {"README_2", "2"}}},
      {"only a leading dot",
       {{".profile", {}, "1"}, {".profile", {}, "2"}},
       {{".profile", "1"}, {".profile_2", "2"}}},
      {"no name entries",
       {{{}, {}, "1"}, {{}, {}, "2"}},
       {{"piece_jointe_0001.bin", "1"}, {"piece_jointe_0002.bin", "2"}}},
      {"names that sanitize to nothing or to the default text",
       {{" . . ", {}, "1"}, {"fichier", {}, "2"}, {"...", {}, "3"}},
       {{"piece_jointe_0001.bin", "1"},
        {"piece_jointe_0002.bin", "2"},
        {"piece_jointe_0003.bin", "3"}}},
      {"forbidden bytes replaced", {{"a/b:c?\x01.txt", {}, "1"}}, {{"a_b_c__.txt", "1"}}},
      {"long name before short name",
       {{"long name.docx", "LONGNA~1.DOC", "1"}, {{}, "SHORT.TXT", "2"}},
       {{"long name.docx", "1"}, {"SHORT.TXT", "2"}}},
      {"short name when the size of the long one cannot be read",
       {{"long.txt", "SHORT.TXT", "1", Call::kItemGetEntryValueUtf8StringSize}},
       {{"SHORT.TXT", "1"}}},
      {"short name when the long one cannot be read",
       {{"long.txt", "SHORT.TXT", "1", Call::kItemGetEntryValueUtf8String}},
       {{"SHORT.TXT", "1"}}},
      {"default name when neither can be read",
       {{"long.txt", {}, "1", Call::kItemGetEntryValueUtf8String}},
       {{"piece_jointe_0001.bin", "1"}}},
      {"empty long name wins over the short one and gives the default",
       {{"", "SHORT.TXT", "1"}},
       {{"piece_jointe_0001.bin", "1"}}},
      {"size 0 takes no name",
       {{"report.pdf", {}, ""}, {"report.pdf", {}, "2"}},
       {{"report.pdf", "2"}}},
      {"default name taken by a real one",
       {{"piece_jointe_0002.bin", {}, "1"}, {{}, {}, "2"}},
       {{"piece_jointe_0002.bin", "1"}, {"piece_jointe_0002_2.bin", "2"}}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ExportInto(AddMessage(row.attachments), row.name), row.files) << row.name;
  }
}

TEST_F(AttachmentExportTest, FilesAlreadyThereCountAsTaken) {
  const fs::path pj = work() / "message" / "pj";
  fs::create_directories(pj / "notes.txt");
  std::ofstream(pj / "report.pdf") << "earlier run";
  const Files files = ExportInto(
      AddMessage({{"report.pdf", {}, "new report"}, {"notes.txt", {}, "new notes"}}), "message");
  EXPECT_EQ(files, (Files{{"notes.txt", "<directory>"},
                          {"notes_2.txt", "new notes"},
                          {"report.pdf", "earlier run"},
                          {"report_2.pdf", "new report"}}));
}

// A name longer than 255 bytes is cut at a character boundary before its
// extension; the "_2" of a duplicate fits in the 255 bytes too.
TEST_F(AttachmentExportTest, LongNamesAreShortenedToFitKeepingTheExtension) {
  const std::string e_acute = "\xC3\xA9";          // 2 bytes
  const std::string euro = "\xE2\x82\xAC";         // 3 bytes
  const std::string smiley = "\xF0\x9F\x98\x80";   // 4 bytes
  const struct {
    std::string name;
    std::string first, duplicate;
  } rows[] = {
      {std::string(251, 'a') + ".pdf", std::string(251, 'a') + ".pdf",
       std::string(249, 'a') + "_2.pdf"},
      {std::string(300, 'a') + ".pdf", std::string(251, 'a') + ".pdf",
       std::string(249, 'a') + "_2.pdf"},
      {Repeat(e_acute, 150) + ".pdf", Repeat(e_acute, 125) + ".pdf",
       Repeat(e_acute, 124) + "_2.pdf"},
      {"x" + Repeat(e_acute, 150) + ".pdf", "x" + Repeat(e_acute, 125) + ".pdf",
       "x" + Repeat(e_acute, 124) + "_2.pdf"},
      {Repeat(euro, 100) + ".txt", Repeat(euro, 83) + ".txt", Repeat(euro, 83) + "_2.txt"},
      {Repeat(smiley, 80) + ".gz", Repeat(smiley, 63) + ".gz", Repeat(smiley, 62) + "_2.gz"},
      {std::string(300, 'b'), std::string(255, 'b'), std::string(253, 'b') + "_2"},
  };
  int row_number = 0;
  for (const auto& row : rows) {
    const Files files = ExportInto(AddMessage({{row.name, {}, "1"}, {row.name, {}, "2"}}),
                                   "row" + std::to_string(row_number++));
    EXPECT_EQ(files, (Files{{row.first, "1"}, {row.duplicate, "2"}}))
        << row.name.size() << "-byte name " << row.name;
  }
}

// An extension that leaves no room for a stem is not kept whole; the
// attachment is still written under a name that fits.
TEST_F(AttachmentExportTest, OverlongExtensionStillGivesAFile) {
  const std::string name = "a." + std::string(300, 'x');
  const Files files = ExportInto(AddMessage({{name, {}, "1"}, {name, {}, "2"}}), "message");
  ASSERT_EQ(files.size(), 2u);
  for (const auto& [file, bytes] : files) {
    EXPECT_LE(file.size(), kMaxFileNameBytes) << file;
    EXPECT_EQ(file.rfind("a.xxx", 0), 0u) << file;
  }
}

TEST_F(AttachmentExportTest, LargeAttachmentIsCopiedInMebibyteReadsAfterASeekToTheStart) {
  const std::string data = Pattern(2500000);
  Node& message = archive_.root().add_message();
  Node& attachment = AddAttachment(message, {"big.bin", {}, data});
  const Files files = ExportInto(message, "message");
  EXPECT_EQ(fakepff::read_sizes(attachment), (std::vector<int64_t>{1048576, 1048576, 402848}));
  const std::vector<fakepff::CallRecord> seeks =
      fakepff::calls(Call::kAttachmentDataSeekOffset, &attachment);
  ASSERT_EQ(seeks.size(), 1u);
  EXPECT_EQ(seeks[0].args, (std::vector<int64_t>{0, SEEK_SET}));
  const std::vector<fakepff::CallRecord> log = fakepff::calls();
  size_t seek_at = log.size(), first_read_at = log.size();
  for (size_t i = log.size(); i-- > 0;) {
    if (log[i].object != &attachment) continue;
    if (log[i].call == Call::kAttachmentDataSeekOffset) seek_at = i;
    if (log[i].call == Call::kAttachmentDataReadBuffer) first_read_at = i;
  }
  EXPECT_LT(seek_at, first_read_at);
  ASSERT_EQ(files.count("big.bin"), 1u);
  EXPECT_TRUE(files.at("big.bin") == data) << "copied bytes differ";
}

// A read that fails or ends before the reported size stops the copy; the
// file keeps what was written.
TEST_F(AttachmentExportTest, CopyCutShortKeepsTheBytesWritten) {
  const std::string data = Pattern(2500000);
  const struct {
    const char* name;
    std::function<void(Node&)> damage;
    size_t kept;
  } rows[] = {
      {"first read fails", [](Node& a) { a.fail_at(Call::kAttachmentDataReadBuffer, 0); }, 0},
      {"second read fails", [](Node& a) { a.fail_at(Call::kAttachmentDataReadBuffer, 1); },
       1048576},
      {"third read fails without error object",
       [](Node& a) { a.fail_at(Call::kAttachmentDataReadBuffer, 2, Failure::kErrorNoObject); },
       2097152},
      {"data ends early",
       [](Node& a) { a.fail_at(Call::kAttachmentDataReadBuffer, 1, Failure::kNotAvailable); },
       1048576},
      {"size reported larger than the data",
       [](Node& a) { a.report(Call::kAttachmentGetDataSize, 3000000); }, 2500000},
  };
  for (const auto& row : rows) {
    Node& message = archive_.root().add_message();
    row.damage(AddAttachment(message, {"cut.bin", {}, data}));
    const Files files = ExportInto(message, row.name);
    ASSERT_EQ(files.count("cut.bin"), 1u) << row.name;
    EXPECT_EQ(files.at("cut.bin").size(), row.kept) << row.name;
    EXPECT_TRUE(files.at("cut.bin") == data.substr(0, row.kept)) << row.name;
  }
}

TEST_F(AttachmentExportTest, AttachmentsThatCannotBeOpenedOrMeasuredAreSkipped) {
  Node& message = AddMessage({{{}, {}, "opening fails"},
                              {{}, {}, "comes back null"},
                              {{}, {}, "size unreadable"},
                              {{}, {}, "kept"}});
  message.fail_at(Call::kMessageGetAttachment, 0)
      .fail_at(Call::kMessageGetAttachment, 1, Failure::kNullObject);
  message.attachments().at(2)->fail(Call::kAttachmentGetDataSize);
  EXPECT_EQ(ExportInto(message, "message"), (Files{{"piece_jointe_0004.bin", "kept"}}));
}

TEST_F(AttachmentExportTest, AttachmentDirectoryIsCreatedWhateverTheCount) {
  const struct {
    const char* name;
    std::function<void(Node&)> setup;
  } rows[] = {
      {"no attachments", [](Node&) {}},
      {"count fails", [](Node& m) { m.fail(Call::kMessageGetNumberOfAttachments); }},
      {"count fails without error object",
       [](Node& m) { m.fail(Call::kMessageGetNumberOfAttachments, Failure::kErrorNoObject); }},
      {"negative count", [](Node& m) {
         m.add_attachment("x");
         m.report(Call::kMessageGetNumberOfAttachments, -1);
       }},
  };
  for (const auto& row : rows) {
    Node& message = archive_.root().add_message();
    row.setup(message);
    EXPECT_TRUE(ExportInto(message, row.name).empty()) << row.name;
    EXPECT_TRUE(fs::is_directory(work() / row.name / "pj")) << row.name;
  }
}

// The target is a dangling link into a missing directory: it does not exist,
// so its name is chosen, but it cannot be opened (root ignores permissions,
// so a read-only "pj" would not do). Skipped without a word or a read.
TEST_F(AttachmentExportTest, TargetThatCannotBeOpenedIsSkippedSilently) {
  const fs::path pj = work() / "message" / "pj";
  fs::create_directories(pj);
  fs::create_symlink(work() / "missing" / "report.pdf", pj / "report.pdf");
  Node& message = archive_.root().add_message();
  Node& blocked = AddAttachment(message, {"report.pdf", {}, "lost"});
  AddAttachment(message, {"other.txt", {}, "other"});
  const Files files = ExportInto(message, "message");
  EXPECT_EQ(files, (Files{{"other.txt", "other"}, {"report.pdf", "<link>"}}));
  EXPECT_FALSE(fs::exists(work() / "missing"));
  EXPECT_TRUE(fakepff::read_sizes(blocked).empty());
}

TEST_F(AttachmentExportTest, DirectoryThatCannotBeCreatedThrows) {
  fs::create_directories(work() / "message");
  std::ofstream(work() / "message" / "pj") << "a file where pj goes";
  fakepff::ScopedItem item(AddMessage({{"a.txt", {}, "x"}}));
  EXPECT_THROW(export_attachments(item.get(), work() / "message"), fs::filesystem_error);
}

}  // namespace
}  // namespace quillmar
