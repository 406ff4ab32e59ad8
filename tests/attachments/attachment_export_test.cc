// Attachment export: file naming and uniqueness, shortening of over-long
// names, the chunked copy, and the attachments that cannot be read.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

namespace fs = std::filesystem;
using libpff_faults::Fault;
using Files = Tree;  // name -> bytes

std::string Repeat(const std::string& text, int times) {
  std::string out;
  while (times-- > 0) out += text;
  return out;
}

class AttachmentExportTest : public ExportTest {
 protected:
  Files Attachments(int number) const {
    return Snapshot((fs::u8path(Dir(number)).filename() / "pj").u8string());
  }
};

// One message per row, each attachment {long name, short name, data};
// a name of "#" is written as a 32-bit number, which no text read accepts.
TEST_F(AttachmentExportTest, NamesAreSanitizedDefaultedAndMadeUnique) {
  const std::string euro = "\xE2\x82\xAC";
  const struct { std::vector<pstgen::AttachmentFile> attachments; Files files; } rows[] = {
      {{{"a.pdf", "", "1"}, {"a.pdf", "", "2"}, {"a.pdf", "", "3"}},
       {{"a.pdf", "1"}, {"a_2.pdf", "2"}, {"a_3.pdf", "3"}}},
      {{{"a.tar.gz", "", "1"}, {"a.tar.gz", "", "2"}, {"README", "", "3"}, {"README", "", "4"},
        {".profile", "", "5"}, {".profile", "", "6"}},
       {{"a.tar.gz", "1"}, {"a.tar_2.gz", "2"}, {"README", "3"}, {"README_2", "4"},
        {".profile", "5"}, {".profile_2", "6"}}},
      {{{"", "", "1"}, {" . . ", "", "2"}, {"fichier", "", "3"}, {"...", "", "4"}},
       {{"piece_jointe_0001.bin", "1"}, {"piece_jointe_0002.bin", "2"},
        {"piece_jointe_0003.bin", "3"}, {"piece_jointe_0004.bin", "4"}}},
      // U+1F600, stored as a surrogate pair, which libpff's UTF-8 read turns into U+1F201.
      {{{"a/b:c?\x01.txt", "", "1"}, {"r\xC3\xA9sum\xC3\xA9.pdf", "", "2"},
        {"e\xF0\x9F\x98\x80.txt", "", "3"}},
       {{"a_b_c__.txt", "1"}, {"r\xC3\xA9sum\xC3\xA9.pdf", "2"}, {"e\xF0\x9F\x98\x80.txt", "3"}}},
      {{{"long name.docx", "LONGNA~1.DOC", "1"}, {"", "S.TXT", "2"}, {"#", "T.TXT", "3"},
        {"#", "#", "4"}},
       {{"long name.docx", "1"}, {"S.TXT", "2"}, {"T.TXT", "3"}, {"piece_jointe_0004.bin", "4"}}},
      {{{"a.pdf", "", ""}, {"a.pdf", "", "2"}, {"piece_jointe_0004.bin", "", "3"}, {"", "", "4"}},
       {{"a.pdf", "2"}, {"piece_jointe_0004.bin", "3"}, {"piece_jointe_0004_2.bin", "4"}}},
      // Over 255 bytes: the stem is cut at a character boundary, keeping the
      // extension, and the "_2" of a duplicate fits too.
      {{{std::string(251, 'a') + ".pdf", "", "1"}, {std::string(251, 'a') + ".pdf", "", "2"}},
       {{std::string(251, 'a') + ".pdf", "1"}, {std::string(249, 'a') + "_2.pdf", "2"}}},
      {{{Repeat(euro, 100) + ".txt", "", "1"}, {Repeat(euro, 100) + ".txt", "", "2"}},
       {{Repeat(euro, 83) + ".txt", "1"}, {Repeat(euro, 83) + "_2.txt", "2"}}},
      {{{std::string(300, 'b'), "", "1"}, {"a." + std::string(300, 'x'), "", "2"},
        {"a." + std::string(300, 'x'), "", "3"}},
       {{std::string(255, 'b'), "1"}, {"a." + std::string(253, 'x'), "2"},
        {"a." + std::string(251, 'x') + "_2", "3"}}},
  };
  for (const auto& row : rows) {
    pstgen::Message& message = AddMail("s");
    for (const pstgen::AttachmentFile& file : row.attachments) {
      pstgen::PropertyList& props = message.add_attachment(file);
      if (file.long_name == "#") props.set_long(0x3707, 1);
      if (file.short_name == "#") props.set_long(0x3704, 1);
    }
  }
  ASSERT_EQ(Export().result, static_cast<int32_t>(std::size(rows)));
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(Attachments(static_cast<int>(i + 1)), rows[i].files) << "row " << i + 1;
  }
}

// Attachments 1 and 3 are small and nameless, 2 is 2,500,000 bytes copied in
// reads of at most 1 MiB. What cannot be read is reported and skipped; the
// others keep their numbers. A read that fails stops the copy, reported; the
// file keeps what was written.
TEST_F(AttachmentExportTest, DataIsCopiedInMebibyteReadsAndFailuresSkipOnlyTheirPart) {
  std::string big(2500000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  pstgen::Message& message = AddMail("s");
  message.add_attachment({"", "", "one"});
  message.add_attachment({"big.bin", "", big});
  message.add_attachment({"", "", "three"});
  const std::string mib = big.substr(0, 1048576);
  const Files all = {{"piece_jointe_0001.bin", "one"}, {"big.bin", big}, {"piece_jointe_0003.bin", "three"}};
  const std::string stopped =
      "Lecture de piece jointe interrompue: " + (fs::u8path(Dir(1)) / "pj" / "").u8string();
  const struct {
    const char* function; int nth; Fault fault; Files files; int reads; std::string err;
  } rows[] = {
      {"", 0, Fault::kError, all, 5, ""},
      {"libpff_message_get_number_of_attachments", 1, Fault::kError, {}, 0,
       "Erreur lecture nombre de pieces jointes\n"
       "libpff_message_get_number_of_attachments: invalid message.\n"},
      {"libpff_message_get_attachment", 2, Fault::kError,
       {{"piece_jointe_0001.bin", "one"}, {"piece_jointe_0003.bin", "three"}}, 2,
       "Erreur lecture piece jointe\nlibpff_message_get_attachment: invalid message.\n"},
      {"libpff_message_get_attachment", 1, Fault::kNullObject,
       {{"big.bin", big}, {"piece_jointe_0003.bin", "three"}}, 4, "Erreur lecture piece jointe\n"},
      // A read shorter than asked for does not end the copy; the next one does,
      // before the size libpff gave.
      {"libpff_attachment_get_data_size", 1, Fault::kValue, all, 6,
       stopped + "piece_jointe_0001.bin\n"},
      {"libpff_attachment_get_data_size", 2, Fault::kError,
       {{"piece_jointe_0001.bin", "one"}, {"piece_jointe_0003.bin", "three"}}, 2,
       "Erreur lecture taille de piece jointe\nlibpff_attachment_get_data_size: invalid attachment.\n"},
      {"libpff_attachment_data_read_buffer", 3, Fault::kError,
       {{"piece_jointe_0001.bin", "one"}, {"big.bin", mib}, {"piece_jointe_0003.bin", "three"}}, 4,
       stopped + "big.bin\nlibpff_attachment_data_read_buffer: invalid attachment.\n"},
      {"libpff_attachment_data_read_buffer", 2, Fault::kNotAvailable,
       {{"piece_jointe_0001.bin", "one"}, {"big.bin", ""}, {"piece_jointe_0003.bin", "three"}}, 3,
       stopped + "big.bin\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.function) + " #" + std::to_string(row.nth));
    const RunOutput run = ExportFailing(row.function, row.nth, row.fault, 1048576);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.err, row.err);
    EXPECT_TRUE(Attachments(1) == row.files);
    EXPECT_EQ(libpff_faults::calls("libpff_attachment_data_read_buffer"), row.reads);
  }
}

}  // namespace
}  // namespace quillmar_test
