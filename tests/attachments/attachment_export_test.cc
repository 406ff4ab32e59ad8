// export_attachments against the fake libpff: file naming and uniqueness,
// shortening of over-long names, the chunked copy, and the silent skips.
#include "attachments/attachment_export.h"

#include <algorithm>
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
  std::error_code missing;
  for (const auto& entry : fs::directory_iterator(directory, missing)) {
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
  bool long_name_fails = false;  // the read of 0x3707 fails
};

class AttachmentExportTest : public ExportTest {
 protected:
  void TearDown() override { EXPECT_EQ(fakepff::audit(), ""); }

  Node& AddAttachment(Node& message, const Attachment& wanted) {
    Node& attachment = message.add_attachment(wanted.data);
    if (wanted.long_name) attachment.set_unicode(0x3707, *wanted.long_name);
    if (wanted.long_name_fails) attachment.fail_at(Call::kItemGetEntryValueUtf8String, 0x3707);
    if (wanted.short_name) attachment.set_unicode(0x3704, *wanted.short_name);
    return attachment;
  }

  // A new message holding the attachments.
  Node& AddMessage(const std::vector<Attachment>& attachments) {
    Node& message = archive_.root().add_message();
    for (const Attachment& wanted : attachments) AddAttachment(message, wanted);
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
    EXPECT_TRUE(fs::is_directory(message_dir / "pj")) << dir_name;
    return ReadDirectory(message_dir / "pj");
  }
};

TEST_F(AttachmentExportTest, NamesAreSanitizedDefaultedAndMadeUnique) {
  const struct {
    const char* name;
    std::vector<Attachment> attachments;
    Files files;
  } rows[] = {
      {"same name thrice", {{"a.pdf", {}, "1"}, {"a.pdf", {}, "2"}, {"a.pdf", {}, "3"}},
       {{"a.pdf", "1"}, {"a_2.pdf", "2"}, {"a_3.pdf", "3"}}},
      {"suffix before the last extension", {{"a.tar.gz", {}, "1"}, {"a.tar.gz", {}, "2"}},
       {{"a.tar.gz", "1"}, {"a.tar_2.gz", "2"}}},
      {"no dot", {{"README", {}, "1"}, {"README", {}, "2"}}, {{"README", "1"}, {"README_2", "2"}}},
      {"only a leading dot", {{".profile", {}, "1"}, {".profile", {}, "2"}},
       {{".profile", "1"}, {".profile_2", "2"}}},
      {"no name entries", {{{}, {}, "1"}, {{}, {}, "2"}},
       {{"piece_jointe_0001.bin", "1"}, {"piece_jointe_0002.bin", "2"}}},
      {"names that sanitize to nothing or to the default text",
       {{" . . ", {}, "1"}, {"fichier", {}, "2"}, {"...", {}, "3"}},
       {{"piece_jointe_0001.bin", "1"}, {"piece_jointe_0002.bin", "2"},
        {"piece_jointe_0003.bin", "3"}}},
      {"forbidden bytes replaced", {{"a/b:c?\x01.txt", {}, "1"}}, {{"a_b_c__.txt", "1"}}},
      {"long name before short name", {{"long name.docx", "LONGNA~1.DOC", "1"}, {{}, "S.TXT", "2"}},
       {{"long name.docx", "1"}, {"S.TXT", "2"}}},
      {"short name when the long one cannot be read", {{"long.txt", "S.TXT", "1", true}},
       {{"S.TXT", "1"}}},
      {"default name when neither can be read", {{"long.txt", {}, "1", true}},
       {{"piece_jointe_0001.bin", "1"}}},
      {"empty long name wins over the short one and gives the default", {{"", "S.TXT", "1"}},
       {{"piece_jointe_0001.bin", "1"}}},
      {"size 0 takes no name", {{"a.pdf", {}, ""}, {"a.pdf", {}, "2"}}, {{"a.pdf", "2"}}},
      {"default name taken by a real one", {{"piece_jointe_0002.bin", {}, "1"}, {{}, {}, "2"}},
       {{"piece_jointe_0002.bin", "1"}, {"piece_jointe_0002_2.bin", "2"}}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ExportInto(AddMessage(row.attachments), row.name), row.files) << row.name;
  }
}

// Names already in "pj" are taken, whatever they are. A dangling link into a
// missing directory does not exist, so its name is chosen, but it cannot be
// opened (root ignores permissions, so a read-only "pj" would not do): that
// attachment is skipped without a word or a read.
TEST_F(AttachmentExportTest, FilesAlreadyThereCountAsTaken) {
  const fs::path pj = work() / "message" / "pj";
  fs::create_directories(pj / "notes.txt");
  std::ofstream(pj / "report.pdf") << "earlier run";
  fs::create_symlink(work() / "missing" / "lost.pdf", pj / "lost.pdf");
  Node& message = AddMessage({{"report.pdf", {}, "new report"}, {"notes.txt", {}, "new notes"}});
  Node& blocked = AddAttachment(message, {"lost.pdf", {}, "lost"});
  EXPECT_EQ(ExportInto(message, "message"), (Files{{"lost.pdf", "<link>"},
                                                   {"notes.txt", "<directory>"},
                                                   {"notes_2.txt", "new notes"},
                                                   {"report.pdf", "earlier run"},
                                                   {"report_2.pdf", "new report"}}));
  EXPECT_FALSE(fs::exists(work() / "missing"));
  EXPECT_TRUE(fakepff::read_sizes(blocked).empty());
}

// A name longer than 255 bytes is cut at a character boundary before its
// extension; the "_2" of a duplicate fits in the 255 bytes too. The rows cut
// on a character boundary or inside a 3- or 4-byte character.
TEST_F(AttachmentExportTest, LongNamesAreShortenedToFitKeepingTheExtension) {
  const std::string euro = "\xE2\x82\xAC";         // 3 bytes
  const std::string smiley = "\xF0\x9F\x98\x80";   // 4 bytes
  const struct {
    std::string name;
    std::string first, duplicate;
  } rows[] = {
      {std::string(251, 'a') + ".pdf", std::string(251, 'a') + ".pdf",
       std::string(249, 'a') + "_2.pdf"},
      {Repeat(euro, 100) + ".txt", Repeat(euro, 83) + ".txt", Repeat(euro, 83) + "_2.txt"},
      {Repeat(smiley, 80) + ".gz", Repeat(smiley, 63) + ".gz", Repeat(smiley, 62) + "_2.gz"},
      {std::string(300, 'b'), std::string(255, 'b'), std::string(253, 'b') + "_2"},
      // An extension too long to leave room for a stem is cut like one.
      {"a." + std::string(300, 'x'), "a." + std::string(253, 'x'),
       "a." + std::string(251, 'x') + "_2"},
  };
  int row_number = 0;
  for (const auto& row : rows) {
    const Files files = ExportInto(AddMessage({{row.name, {}, "1"}, {row.name, {}, "2"}}),
                                   "row" + std::to_string(row_number++));
    EXPECT_EQ(files, (Files{{row.first, "1"}, {row.duplicate, "2"}}))
        << row.name.size() << "-byte name " << row.name;
  }
}

// The data is copied in reads of at most 1 MiB after one seek to its start.
// A read that fails or ends before the reported size stops the copy; the file
// keeps what was written.
TEST_F(AttachmentExportTest, DataIsCopiedInMebibyteReadsUntilOneFails) {
  constexpr int64_t kMiB = 1048576;
  const std::string data = Pattern(2500000);
  const struct {
    const char* name;
    std::function<void(Node&)> damage;
    std::vector<int64_t> reads;  // sizes asked for
    size_t kept;
  } rows[] = {
      {"intact", [](Node&) {}, {kMiB, kMiB, 402848}, 2500000},
      {"first read fails", [](Node& a) { a.fail_at(Call::kAttachmentDataReadBuffer, 0); },
       {kMiB}, 0},
      {"third read fails without error object",
       [](Node& a) { a.fail_at(Call::kAttachmentDataReadBuffer, 2, Failure::kErrorNoObject); },
       {kMiB, kMiB, 402848}, 2097152},
      {"data ends early",
       [](Node& a) { a.fail_at(Call::kAttachmentDataReadBuffer, 1, Failure::kNotAvailable); },
       {kMiB, kMiB}, 1048576},
      {"size reported larger than the data",
       [](Node& a) { a.report(Call::kAttachmentGetDataSize, 3000000); },
       {kMiB, kMiB, 902848, 500000}, 2500000},
  };
  for (const auto& row : rows) {
    Node& message = archive_.root().add_message();
    Node& attachment = AddAttachment(message, {"copy.bin", {}, data});
    row.damage(attachment);
    const Files files = ExportInto(message, row.name);
    EXPECT_EQ(fakepff::read_sizes(attachment), row.reads) << row.name;
    const std::vector<fakepff::CallRecord> log = fakepff::calls();
    const auto first_use = std::find_if(log.begin(), log.end(), [&](const auto& call) {
      return call.object == &attachment && (call.call == Call::kAttachmentDataSeekOffset ||
                                            call.call == Call::kAttachmentDataReadBuffer);
    });
    ASSERT_NE(first_use, log.end()) << row.name;
    EXPECT_EQ(first_use->call, Call::kAttachmentDataSeekOffset) << row.name;
    EXPECT_EQ(fakepff::seek_offsets(attachment), std::vector<int64_t>{0}) << row.name;
    EXPECT_EQ(first_use->args, (std::vector<int64_t>{0, SEEK_SET})) << row.name;
    ASSERT_EQ(files.count("copy.bin"), 1u) << row.name;
    EXPECT_EQ(files.at("copy.bin").size(), row.kept) << row.name;
    EXPECT_TRUE(files.at("copy.bin") == data.substr(0, row.kept)) << row.name;
  }
}

// "pj" is created whatever the count; attachments that cannot be opened or
// measured are skipped, and the others keep their numbers.
TEST_F(AttachmentExportTest, UnreadableCountsAndAttachmentsAreSkipped) {
  const struct {
    const char* name;
    std::vector<Attachment> attachments;
    std::function<void(Node&)> damage;
    Files files;
  } rows[] = {
      {"no attachments", {}, [](Node&) {}, {}},
      {"count fails", {{"a.txt", {}}},
       [](Node& m) { m.fail(Call::kMessageGetNumberOfAttachments); }, {}},
      {"negative count", {{"a.txt", {}}},
       [](Node& m) { m.report(Call::kMessageGetNumberOfAttachments, -1); }, {}},
      {"attachments that cannot be opened or measured",
       {{{}, {}, "opening fails"}, {{}, {}, "comes back null"}, {{}, {}, "size unreadable"},
        {{}, {}, "kept"}},
       [](Node& m) {
         m.fail_at(Call::kMessageGetAttachment, 0)
             .fail_at(Call::kMessageGetAttachment, 1, Failure::kNullObject);
         m.attachments().at(2)->fail(Call::kAttachmentGetDataSize);
       },
       {{"piece_jointe_0004.bin", "kept"}}},
  };
  for (const auto& row : rows) {
    Node& message = AddMessage(row.attachments);
    row.damage(message);
    EXPECT_EQ(ExportInto(message, row.name), row.files) << row.name;
  }
}

TEST_F(AttachmentExportTest, DirectoryThatCannotBeCreatedThrows) {
  fs::create_directories(work() / "message");
  std::ofstream(work() / "message" / "pj") << "a file where pj goes";
  fakepff::ScopedItem item(AddMessage({{"a.txt", {}, "x"}}));
  EXPECT_THROW(export_attachments(item.get(), work() / "message"), fs::filesystem_error);
}

}  // namespace
}  // namespace quillmar
