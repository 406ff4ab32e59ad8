// Whole runs through the exported entry point against the fake libpff: the
// result codes, the exact console output, and what the three walks export.
#include "run/export_run.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "quillmar_pst.h"
#include "support/export_fixture.h"

namespace quillmar {
namespace {

using fakepff::Call;
using fakepff::Failure;
using quillmar_test::ExportTest;
using quillmar_test::RunOutput;

class ExportRunTest : public ExportTest {
 protected:
  std::string Line(int number) const {
    char name[32];
    std::snprintf(name, sizeof name, "Inbox2019_%08d", number);
    return "MAIL " + std::to_string(number) + " OK -> " + (output_dir() / name).string() + "\n";
  }
};

constexpr char kVersionLine[] = "libpff version: 20180714\n";

TEST_F(ExportRunTest, NullArgumentsTouchNothing) {
  const std::wstring out = Wide(output_dir());
  for (const auto& [pst, dir] : {std::pair<const wchar_t*, const wchar_t*>{nullptr, out.c_str()},
                                 {L"/tmp/a.pst", nullptr}, {nullptr, nullptr}}) {
    const RunOutput run = ExportWith(pst, dir);
    EXPECT_EQ(run.result, -10);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Erreur: argument null\n");
  }
  EXPECT_FALSE(std::filesystem::exists(output_dir()));
  EXPECT_TRUE(fakepff::calls().empty()) << "no libpff call for a null argument";
}

TEST_F(ExportRunTest, MissingArchiveIsReportedAndNothingIsCreated) {
  const std::filesystem::path missing = work() / "absent \xC3\xA9.pst";
  const std::wstring wide_missing = L"" + Wide(work()) + L"/absent \u00e9.pst";
  const RunOutput run = ExportWith(wide_missing.c_str(), Wide(output_dir()).c_str());
  EXPECT_EQ(run.result, -1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "PST introuvable: " + missing.string() + "\n");
  EXPECT_FALSE(std::filesystem::exists(output_dir()));
}

TEST_F(ExportRunTest, LibpffInitialisationFailure) {
  fakepff::fail(Call::kFileInitialize);
  const RunOutput run = Export();
  EXPECT_EQ(run.result, -2);
  EXPECT_EQ(run.out, kVersionLine);
  EXPECT_EQ(run.err, "Erreur initialize\nlibpff: libpff_file_initialize: injected failure\n");
  EXPECT_TRUE(std::filesystem::is_directory(output_dir()));
  EXPECT_EQ(fakepff::audit(), "");
}

TEST_F(ExportRunTest, ArchiveThatCannotBeOpened) {
  archive_.fail(Call::kFileOpen);
  const RunOutput run = Export();
  EXPECT_EQ(run.result, -3);
  EXPECT_EQ(run.out, kVersionLine);
  EXPECT_EQ(run.err, "Erreur ouverture PST\nlibpff: libpff_file_open: injected failure\n");
  EXPECT_EQ(fakepff::audit(), "");
}

TEST_F(ExportRunTest, OutputPathThatIsAFileEndsTheRunWithAnException) {
  std::filesystem::create_directories(output_dir().parent_path());
  std::ofstream(output_dir()) << "a file";
  const RunOutput run = Export();
  EXPECT_EQ(run.result, -100);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("Exception C++: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("create_directories"), std::string::npos) << run.err;

  const RunOutput empty_path = ExportWith(Wide(archive_path()).c_str(), L"");
  EXPECT_EQ(empty_path.result, -100);
  EXPECT_NE(empty_path.err.find("create_directories"), std::string::npos) << empty_path.err;
}

// Exceptions end the run wherever they are raised; messages written before
// stay on disk and the summary line is not printed.
TEST_F(ExportRunTest, ExceptionsBecomeResultCodes) {
  const struct {
    Failure how;
    int32_t result;
    std::string err;
  } cases[] = {
      {Failure::kThrowBadAlloc, -100, "Exception C++: std::bad_alloc\n"},
      {Failure::kThrowNonStandard, -101, "Exception inconnue\n"},
  };
  for (const auto& c : cases) {
    fakepff::Session session;
    fakepff::Archive archive;
    AddMail(archive.root(), "written");
    AddMail(archive.root(), "fails").fail(Call::kMessageGetNumberOfAttachments, c.how);
    std::filesystem::remove_all(output_dir());
    fakepff::ArchiveRegistration registration(archive_path().string(), archive);
    std::ofstream(archive_path()) << "fake";
    const RunOutput run = quillmar_test::CaptureConsole([&] {
      return pst_export_to_txt_w(Wide(archive_path()).c_str(), Wide(output_dir()).c_str());
    });
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, std::string(kVersionLine) + "Parcours root_folder\n" + Line(1));
    EXPECT_TRUE(std::filesystem::exists(output_dir() / "Inbox2019_00000001" / "mail.txt"));
  }
}

TEST_F(ExportRunTest, FullRunPrintsEveryLineInOrder) {
  fakepff::Node& inbox = archive_.root().add_folder();
  AddMail(inbox, "one");
  AddMail(inbox, "two");
  const RunOutput run = Export();
  EXPECT_EQ(run.result, 2);
  EXPECT_EQ(run.out, std::string(kVersionLine) + "Parcours root_folder\n" + Line(1) + Line(2) +
                         "Message store OK\nIPM_SUBTREE id=0\nTOP_OF_PERSONAL_FOLDERS id=0\n"
                         "Termine. Nombre de mails exportes: 2\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ListOutput(), (std::vector<std::string>{"Inbox2019_00000001", "Inbox2019_00000002"}));
  EXPECT_EQ(fakepff::audit(), "");
}

TEST_F(ExportRunTest, EmptyArchiveGivesZero) {
  const RunOutput run = Export();
  EXPECT_EQ(run.result, 0);
  EXPECT_NE(run.out.find("Termine. Nombre de mails exportes: 0\n"), std::string::npos);
}

// The folder named by the store's 32-bit 0x35E0 entry is walked under both
// labels, after the root walk reached it too: each message is written thrice.
TEST_F(ExportRunTest, FolderNamedByTheStoreIsWalkedTwiceMore) {
  fakepff::Node& inbox = archive_.root().add_folder();
  inbox.set_identifier(8322);
  AddMail(inbox, "only");
  archive_.message_store().set_u32(0x35E0, 8322);
  const RunOutput run = Export();
  EXPECT_EQ(run.result, 3);
  EXPECT_EQ(run.out, std::string(kVersionLine) + "Parcours root_folder\n" + Line(1) +
                         "Message store OK\nIPM_SUBTREE id=8322\nParcours IPM_SUBTREE\n" + Line(2) +
                         "TOP_OF_PERSONAL_FOLDERS id=8322\nParcours TOP_OF_PERSONAL_FOLDERS\n" +
                         Line(3) + "Termine. Nombre de mails exportes: 3\n");
  EXPECT_EQ(fakepff::audit(), "");
}

TEST_F(ExportRunTest, UnreadableRootAndStoreAreReportedAndTheRunEnds) {
  archive_.fail(Call::kFileGetRootFolder).fail(Call::kFileGetMessageStore, Failure::kNullObject);
  const RunOutput run = Export();
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.out, std::string(kVersionLine) + "Termine. Nombre de mails exportes: 0\n");
  EXPECT_EQ(run.err,
            "Root folder non lisible\nlibpff: libpff_file_get_root_folder: injected failure\n"
            "Message store non lisible\n");
  EXPECT_EQ(fakepff::audit(), "");
}

TEST_F(ExportRunTest, IdentifierThatDoesNotResolve) {
  archive_.message_store().set_u32(0x35E0, 77);
  const RunOutput run = Export();
  EXPECT_NE(run.out.find("IPM_SUBTREE id=77\nTOP_OF_PERSONAL_FOLDERS id=77\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("Parcours IPM"), std::string::npos);
  EXPECT_EQ(run.err.find("Impossible d'ouvrir dossier par identifiant\n"), 0u) << run.err;
  EXPECT_EQ(fakepff::audit(), "");
}

TEST_F(ExportRunTest, SecondRunIntoTheSameDirectoryStartsAgainAtOne) {
  AddMail(archive_.root(), "one");
  ASSERT_EQ(Export().result, 1);
  const RunOutput again = Export();
  EXPECT_EQ(again.result, 1);
  EXPECT_EQ(ListOutput(), std::vector<std::string>{"Inbox2019_00000001"});
}

TEST(DeriveArchiveName, TakesTheSanitizedStem) {
  const struct {
    const wchar_t* path;
    const char* name;
  } cases[] = {
      {L"/data/Inbox2019.pst", "Inbox2019"},
      {L"C:\\mail\\archive.2024.pst", "archive.2024"},
      {L"C:archive.pst", "archive"},
      {L"dir/.pst", ".pst"},
      {L"dir/noext", "noext"},
      {L"dir/trailing.", "trailing"},
      {L"dir/x", "x"},
      {L"dir/.", "fichier"},
      {L"dir/..", "fichier"},
      {L"dir/", "fichier"},
      {L"dir/a:b*c.pst", "a_b_c"},
      {L"dir/ spaced .pst", "spaced"},
      {L"dir/\u00e9t\u00e9.ost", "\xC3\xA9t\xC3\xA9"},
      {L"dir/\U0001F600.pst", "\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(derive_archive_name(c.path), c.name);
  }
}

}  // namespace
}  // namespace quillmar
