// The folder walk: visiting order and numbering, what each unreadable count,
// message, folder or identifier costs, the walks of the folders the message
// store names, and the guard against looping or absurdly deep folders.
#include <iostream>
#include <locale>
#include <string>

#include <gtest/gtest.h>

#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

using libpff_faults::Fault;

// R in the root folder, A and B in Inbox, C in Inbox/Sub. The walk visits
// root, IPM subtree, Deleted Items, Inbox, Sub, Search Root, in this order.
class FolderWalkTest : public ExportTest {
 protected:
  FolderWalkTest() {
    AddMail("R", "r", &archive_.root());
    AddMail("A");
    AddMail("B");
    AddMail("C", "c", &archive_.add_folder(inbox(), "Sub"));
  }
};

TEST_F(FolderWalkTest, FailuresCostOnlyWhatTheyHide) {
  const struct {
    const char* function; int nth; Fault fault; const char* subjects; std::string err;
  } rows[] = {
      {"", 0, Fault::kError, "R,A,B,C", ""},
      {"libpff_folder_get_number_of_sub_messages", 4, Fault::kError, "R,C",
       "Erreur lecture nombre de messages\nlibpff_folder_get_number_of_sub_messages: invalid folder.\n"},
      {"libpff_folder_get_number_of_sub_folders", 4, Fault::kError, "R,A,B",
       "Erreur lecture nombre de sous-dossiers\n"
       "libpff_folder_get_number_of_sub_folders: invalid folder.\n"},
      {"libpff_folder_get_sub_message", 2, Fault::kError, "R,B,C",
       "Erreur lecture message\nlibpff_folder_get_sub_message: invalid folder.\n"},
      {"libpff_folder_get_sub_message", 3, Fault::kNullObject, "R,A,C", "Erreur lecture message\n"},
      {"libpff_folder_get_sub_folder", 3, Fault::kError, "R",
       "Erreur lecture sous-dossier\nlibpff_folder_get_sub_folder: invalid folder.\n"},
      {"libpff_folder_get_sub_folder", 4, Fault::kNullObject, "R,A,B", "Erreur lecture sous-dossier\n"},
      {"libpff_item_get_identifier", 0, Fault::kError, "R,A,B,C", ""},
      {"libpff_item_get_entry_value_32bit", 0, Fault::kError, "R,A,B,C", ""},
      // Sub, three levels down, claims the root folder's identifier.
      {"libpff_item_get_identifier", 5, Fault::kValue, "R,A,B",
       "Sous-dossier ignore: boucle sur le dossier id=290\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.function) + " #" + std::to_string(row.nth));
    const RunOutput run = ExportFailing(row.function, row.nth, row.fault, archive_.root().nid());
    EXPECT_EQ(Subjects(), row.subjects);
    EXPECT_EQ(run.result, static_cast<int32_t>(std::string(row.subjects).size() + 1) / 2);
    EXPECT_EQ(run.err, row.err);
  }
}

// The walk enters folders down to 255 levels below the folder it starts
// from, and reports each folder it does not enter.
TEST_F(ExportTest, FoldersDeeperThanTheLimitAreReportedNotWalked) {
  pstgen::Folder* folder = &archive_.ipm_subtree();  // level 1
  for (int level = 2; level <= 300; ++level) {
    folder = &archive_.add_folder(*folder, "L" + std::to_string(level));
    if (level == 255 || level == 256) AddMail("level " + std::to_string(level), "b", folder);
  }
  const RunOutput run = Export();
  EXPECT_EQ(Subjects(), "level 255");
  EXPECT_EQ(run.err, "Sous-dossier ignore: profondeur maximale de 256 atteinte\n");
}

// Groups every digit, as a host's locale may.
struct DigitGrouping : std::numpunct<char> {
  std::string do_grouping() const override { return "\1"; }
};

// A store whose 0x35E0 is a 32-bit folder identifier: that folder is walked
// again under both labels, so its message is written three times. Numbers
// are written whatever locale the host gave the console.
TEST_F(ExportTest, FolderNamedByTheStoreIsWalkedUnderBothLabels) {
  AddMail("once");
  archive_.set_store_folder_identifier(&inbox());
  const std::locale host = std::cout.imbue(std::locale(std::locale::classic(), new DigitGrouping));
  const RunOutput run = Export();
  std::cout.imbue(host);
  const std::string id = std::to_string(inbox().nid());
  EXPECT_EQ(run.out, "libpff version: 20180714\nParcours root_folder\nMAIL 1 OK -> " + Dir(1) +
                         "\nMessage store OK\nIPM_SUBTREE id=" + id +
                         "\nParcours IPM_SUBTREE\nMAIL 2 OK -> " + Dir(2) +
                         "\nTOP_OF_PERSONAL_FOLDERS id=" + id +
                         "\nParcours TOP_OF_PERSONAL_FOLDERS\nMAIL 3 OK -> " + Dir(3) +
                         "\nTermine. Nombre de mails exportes: 3\n");
  EXPECT_EQ(Subjects(), "once,once,once");
  EXPECT_EQ(ExportFailing("libpff_file_get_item_by_identifier", 1, Fault::kError).err,
            "Impossible d'ouvrir dossier par identifiant\n"
            "libpff_file_get_item_by_identifier: invalid file.\n");
  EXPECT_EQ(Subjects(), "once,once");
}

}  // namespace
}  // namespace quillmar_test
