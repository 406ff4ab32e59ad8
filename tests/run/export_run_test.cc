// Whole runs through the exported entry point: the refusals made before
// libpff is touched, the result code and console of each run-level libpff
// failure, and exceptions turned into result codes.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "run/export_run.h"
#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

namespace fs = std::filesystem;
using libpff_faults::Fault;

class ExportRunTest : public ExportTest {};

TEST_F(ExportRunTest, RefusalsTouchNeitherLibpffNorTheOutput) {
  const std::wstring out = output_dir().wstring(), work_path = work().wstring();
  const std::wstring missing = work_path + wchar_t{fs::path::preferred_separator} + L"absent \u00e9.pst";
  const struct { const wchar_t *pst, *dir; int32_t result; std::string err; } rows[] = {
      {nullptr, out.c_str(), -10, "Erreur: argument null\n"},
      {L"/tmp/a.pst", nullptr, -10, "Erreur: argument null\n"},
      {missing.c_str(), out.c_str(), -1,
       "PST introuvable: " + (work() / fs::u8path("absent \xC3\xA9.pst")).u8string() + "\n"},
      // A directory, pipe or device is no archive; libpff would wait for ever on a pipe.
      {work_path.c_str(), out.c_str(), -3, "PST illisible, pas un fichier: " + work().u8string() + "\n"},
  };
  for (const auto& row : rows) {
    const RunOutput run = ExportWith(row.pst, row.dir);
    EXPECT_EQ(run.result, row.result) << row.err;
    EXPECT_EQ(run.out, "") << row.err;
    EXPECT_EQ(run.err, row.err);
  }
  EXPECT_FALSE(fs::exists(output_dir()));
  EXPECT_EQ(libpff_faults::calls("libpff_file_initialize"), 0);
}

// Two messages in the Inbox; each row makes one run-level libpff call fail.
// Messages written before an exception stay on disk.
TEST_F(ExportRunTest, RunLevelFailures) {
  AddMail("un");
  AddMail("deux");
  const std::string version = "libpff version: 20180714\n";
  const std::string store = "Message store OK\nIPM_SUBTREE id=0\nTOP_OF_PERSONAL_FOLDERS id=0\n";
  const std::string walk = version + "Parcours root_folder\nMAIL 1 OK -> " + Dir(1) + "\n";
  const std::string both = walk + "MAIL 2 OK -> " + Dir(2) + "\n";
  const std::string end = "Termine. Nombre de mails exportes: ";
  const struct {
    const char* function; int nth; Fault fault; int32_t result; std::string out, err, subjects;
  } rows[] = {
      {"libpff_file_initialize", 1, Fault::kError, -2, version,
       "Erreur initialize\nlibpff_file_initialize: invalid file.\n", ""},
      {kLibpffOpen, 1, Fault::kError, -3, version,
       "Erreur ouverture PST\n" + std::string(kLibpffOpen) + ": invalid file.\n", ""},
      {"libpff_file_get_root_folder", 1, Fault::kError, 0, version + store + end + "0\n",
       "Root folder non lisible\nlibpff_file_get_root_folder: invalid file.\n", ""},
      {"libpff_file_get_root_folder", 1, Fault::kNullObject, 0, version + store + end + "0\n",
       "Root folder non lisible\n", ""},
      {"libpff_file_get_message_store", 1, Fault::kError, 2, both + end + "2\n",
       "Message store non lisible\nlibpff_file_get_message_store: invalid file.\n", "un,deux"},
      {"libpff_file_get_message_store", 1, Fault::kNotAvailable, 2, both + end + "2\n",
       "Message store non lisible\n", "un,deux"},
      {"libpff_folder_get_sub_message", 2, Fault::kStdException, -100, walk,
       "Exception C++: std::bad_alloc\n", "un"},
      {"libpff_message_get_number_of_attachments", 1, Fault::kOtherException, -101,
       version + "Parcours root_folder\n", "Exception inconnue\n", "un"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.function);
    const RunOutput run = ExportFailing(row.function, row.nth, row.fault);
    EXPECT_EQ(run.result, row.result);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(Subjects(), row.subjects);
  }
}

// An archive of which neither the root folder nor the store can be read
// gives -3, after the lines of the run.
TEST_F(ExportRunTest, ArchiveWithNothingReadableGivesMinusThree) {
  AddMail("un");
  libpff_faults::inject("libpff_file_get_root_folder", 1, Fault::kError);
  libpff_faults::inject("libpff_file_get_message_store", 1, Fault::kError);
  const RunOutput run = Export();
  EXPECT_EQ(run.result, -3);
  EXPECT_EQ(run.out, "libpff version: 20180714\nTermine. Nombre de mails exportes: 0\n");
  EXPECT_EQ(run.err, "Root folder non lisible\nlibpff_file_get_root_folder: invalid file.\n"
                     "Message store non lisible\nlibpff_file_get_message_store: invalid file.\n"
                     "Rien n'a pu etre lu dans le PST: " + archive_path().u8string() + "\n");
}

TEST(DeriveArchiveName, TakesTheSanitizedUtf8StemOfTheLastComponent) {
  const struct { std::wstring path; std::string name; } rows[] = {
      {L"/d/Inbox2019.pst", "Inbox2019"}, {L"C:\\m/x\\archive.2024.pst", "archive.2024"},
      {L"C:a.pst", "a"}, {L"z:b.pst", "b"}, {L"1:c.pst", "1_c"}, {L"ab:c.pst", "ab_c"},
      {L"d/.pst", ".pst"}, {L"d/..", "fichier"}, {L"d/ a*b. .pst", "a_b"},
      {L"d/\u00e9t\u00e9.ost", "\xC3\xA9t\xC3\xA9"}, {L"d/\U0001F600.pst", "\xF0\x9F\x98\x80"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(quillmar::derive_archive_name(row.path), row.name) << testing::PrintToString(row.path);
  }
  // Cut to 244 bytes so that a message directory name fits 255, never inside a character.
  const std::wstring e_acute(300, L'\u00e9');
  std::string cut;
  for (int i = 0; i < 122; ++i) cut += "\xC3\xA9";
  EXPECT_EQ(quillmar::derive_archive_name(L"d/" + e_acute + L".pst"), cut);
  EXPECT_EQ(quillmar::derive_archive_name(L"d/a" + e_acute), "a" + cut.substr(2));
}

}  // namespace
}  // namespace quillmar_test
