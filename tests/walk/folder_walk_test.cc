// The folder walk against the fake libpff: visiting order and numbering,
// unreadable messages, folders, counts and identifiers, the walks by
// identifier, and the guard against looping or absurdly deep folder
// structures.
#include "walk/folder_walk.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "message/message_export.h"
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
using Subjects = std::vector<std::string>;

constexpr char kArchiveName[] = "Inbox2019";

// The "MAIL n OK -> dir" lines of messages 1..count written under root.
std::string MailLines(const fs::path& root, size_t count) {
  std::string lines;
  for (size_t n = 1; n <= count; ++n) {
    lines += "MAIL " + std::to_string(n) + " OK -> " +
             (root / message_directory_name(kArchiveName, static_cast<int32_t>(n))).string() + "\n";
  }
  return lines;
}

// Subjects of the messages written under root, in the order of their numbers
// up to the first missing one.
Subjects ExportedSubjects(const fs::path& root) {
  Subjects subjects;
  for (int number = 1;; ++number) {
    std::ifstream mail(root / message_directory_name(kArchiveName, number) / "mail.txt",
                       std::ios::binary);
    if (!mail) return subjects;
    std::string line;
    while (std::getline(mail, line) && line.rfind("#$tit : ", 0) != 0) {
    }
    subjects.push_back(line.substr(8, line.size() - 9));  // label and CR off
  }
}

class FolderWalkTest : public ExportTest {
 protected:
  void TearDown() override { EXPECT_EQ(fakepff::audit(), ""); }

  // walk_folder on folder into root, numbering from 1; result is the number
  // of messages written.
  RunOutput Walk(Node& folder, const fs::path& root) {
    MailExportContext context{root, kArchiveName, 1};
    fs::create_directories(root);
    fakepff::ScopedItem item(folder);
    return CaptureConsole([&] {
      walk_folder(item.get(), context);
      return context.mail_number - 1;
    });
  }
};

// A folder holding m1..m3, then sub-folders f1 (itself holding f1a), f2, f3,
// each with one message named after it; each row damages it before the walk.
// Unreadable messages and sub-folders are reported and leave no gap in the
// numbering; an unreadable count ends only its own half of the walk, silently.
TEST_F(FolderWalkTest, VisitingOrderAndUnreadableParts) {
  const Subjects all = {"m1", "m2", "m3", "f1", "f1a", "f2", "f3"};
  const Subjects without_m2 = {"m1", "m3", "f1", "f1a", "f2", "f3"};
  const Subjects sub_folders_only = {"f1", "f1a", "f2", "f3"};
  const Subjects messages_only = {"m1", "m2", "m3"};
  const std::string message_error = "Erreur lecture message\n";
  const std::string folder_error = "Erreur lecture sous-dossier\n";
  const struct {
    const char* name;
    std::function<void(Node&)> damage;
    Subjects subjects;
    std::string err;
  } rows[] = {
      {"intact: messages first, each sub-folder finished first", [](Node&) {}, all, ""},
      {"message fails", [](Node& t) { t.fail_at(Call::kFolderGetSubMessage, 1); }, without_m2,
       message_error + "libpff: libpff_folder_get_sub_message: injected failure\n"},
      {"message comes back null",
       [](Node& t) { t.fail_at(Call::kFolderGetSubMessage, 1, Failure::kNullObject); },
       without_m2, message_error},
      {"message count fails", [](Node& t) { t.fail(Call::kFolderGetNumberOfSubMessages); },
       sub_folders_only, ""},
      {"negative message count",
       [](Node& t) { t.report(Call::kFolderGetNumberOfSubMessages, -1); }, sub_folders_only, ""},
      {"sub-folder count fails", [](Node& t) { t.fail(Call::kFolderGetNumberOfSubFolders); },
       messages_only, ""},
      {"negative sub-folder count",
       [](Node& t) { t.report(Call::kFolderGetNumberOfSubFolders, -5); }, messages_only, ""},
      {"sub-folders fail and come back null",
       [](Node& t) {
         t.fail_at(Call::kFolderGetSubFolder, 0)
             .fail_at(Call::kFolderGetSubFolder, 1, Failure::kNullObject);
       },
       {"m1", "m2", "m3", "f3"},
       folder_error + "libpff: libpff_folder_get_sub_folder: injected failure\n" + folder_error},
      // Such folders cannot be recognised as a loop, so they are walked.
      {"identifiers unreadable down the path",
       [](Node& t) {
         t.fail(Call::kItemGetIdentifier).folders()[0]->fail(Call::kItemGetIdentifier);
         t.folders()[0]->folders()[0]->fail(Call::kItemGetIdentifier);
       },
       all, ""},
  };
  for (const auto& row : rows) {
    Node& top = archive_.root().add_folder();
    for (const char* subject : {"m1", "m2", "m3"}) AddMail(top, subject);
    Node& f1 = top.add_folder();
    AddMail(f1, "f1");
    AddMail(f1.add_folder(), "f1a");
    AddMail(top.add_folder(), "f2");
    AddMail(top.add_folder(), "f3");
    row.damage(top);
    const fs::path root = work() / row.name;
    const RunOutput run = Walk(top, root);
    EXPECT_EQ(ExportedSubjects(root), row.subjects) << row.name;
    EXPECT_EQ(run.result, static_cast<int>(row.subjects.size())) << row.name;
    EXPECT_EQ(run.out, MailLines(root, row.subjects.size())) << row.name;
    EXPECT_EQ(run.err, row.err) << row.name;
  }
}

TEST_F(FolderWalkTest, WalkByIdentifier) {
  constexpr uint32_t kFolderId = 0xFFFFFFF0u;  // printed unsigned
  const std::string not_opened = "Impossible d'ouvrir dossier par identifiant\n";
  const struct {
    const char* name;
    std::optional<uint32_t> stored;  // a 24-byte binary entry when absent
    std::optional<Failure> look_up;  // of kFolderId
    std::string out;  // before the MAIL line, which follows when there is a walk
    std::string err;
  } rows[] = {
      {"identifier 0", 0, {}, "LABEL id=0\n", ""},
      {"binary entry, as in real stores", {}, {}, "LABEL id=0\n", ""},
      {"identifier that resolves", kFolderId, {}, "LABEL id=4294967280\nParcours LABEL\n", ""},
      {"identifier without item", 8323, {}, "LABEL id=8323\n", not_opened},
      {"look-up fails", kFolderId, Failure::kError, "LABEL id=4294967280\n",
       not_opened + "libpff: libpff_file_get_item_by_identifier: injected failure\n"},
      {"look-up gives null", kFolderId, Failure::kNullObject, "LABEL id=4294967280\n", not_opened},
  };
  for (const auto& row : rows) {
    fakepff::Archive archive;
    AddMail(archive.root().add_folder().set_identifier(kFolderId), "found");
    if (row.stored) {
      archive.message_store().set_u32(0x35E0, *row.stored);
    } else {
      archive.message_store().set_binary(0x35E0, std::string(24, '\x01'));
    }
    if (row.look_up) archive.fail_at(Call::kFileGetItemByIdentifier, kFolderId, *row.look_up);
    const fs::path root = work() / row.name;
    fs::create_directories(root);
    MailExportContext context{root, kArchiveName, 1};
    fakepff::ArchiveRegistration registration("/fake/walk.pst", archive);
    libpff_file_t* file = nullptr;
    libpff_file_initialize(&file, nullptr);
    libpff_file_open(file, "/fake/walk.pst", libpff_get_access_flags_read(), nullptr);
    RunOutput run;
    {
      fakepff::ScopedItem store(archive.message_store());
      run = CaptureConsole([&] {
        walk_folder_by_identifier(file, store.get(), 0x35E0, "LABEL", context);
        return context.mail_number - 1;
      });
    }
    libpff_file_close(file, nullptr);
    libpff_file_free(&file, nullptr);
    const bool walked = row.out.find("Parcours") != std::string::npos;
    EXPECT_EQ(run.out, row.out + MailLines(root, walked ? 1 : 0)) << row.name;
    EXPECT_EQ(run.err, row.err) << row.name;
    EXPECT_EQ(ExportedSubjects(root), walked ? Subjects{"found"} : Subjects{}) << row.name;
    EXPECT_EQ(fakepff::audit(), "") << row.name;
  }
}

// A damaged archive can lead a sub-folder back to a folder on the current
// path; that sub-folder is reported and skipped, and the run goes on. A folder
// met again on another branch is not a loop and is walked again.
TEST_F(FolderWalkTest, FolderAlreadyOnThePathIsNotEntered) {
  Node& root = archive_.root();
  Node& a = root.add_folder().set_identifier(500);
  AddMail(a, "a");
  AddMail(a.add_folder().set_identifier(500), "inside the loop");
  AddMail(a.add_folder().set_identifier(root.identifier()), "inside the loop to the root");
  AddMail(a.add_folder().set_identifier(501), "c");
  AddMail(root.add_folder().set_identifier(500), "same identifier on another branch");

  const RunOutput run = Export();
  EXPECT_EQ(run.result, 3);
  EXPECT_EQ(ExportedSubjects(output_dir()),
            (Subjects{"a", "c", "same identifier on another branch"}));
  EXPECT_EQ(run.err,
            "Sous-dossier ignore: boucle sur le dossier id=500\n"
            "Sous-dossier ignore: boucle sur le dossier id=" +
                std::to_string(root.identifier()) + "\n");
  EXPECT_NE(run.out.find("Termine. Nombre de mails exportes: 3\n"), std::string::npos) << run.out;
}

// At most kMaxFolderDepth folders stand on one path, the root included: in a
// chain of 300 folders below the root, each from level 255 on holding a
// message, level 255 is the last walked and level 256 is reported once and
// not entered; the run then goes on with the root's next sub-folder.
TEST_F(FolderWalkTest, NestingBeyondTheDepthLimitIsCutOnceAndTheRunGoesOn) {
  Node* folder = &archive_.root();
  for (int level = 1; level <= 300; ++level) {
    folder = &folder->add_folder();
    if (level >= kMaxFolderDepth - 1) AddMail(*folder, "level " + std::to_string(level));
  }
  AddMail(archive_.root().add_folder(), "after the chain");
  const RunOutput run = Export();
  EXPECT_EQ(run.result, 2);
  EXPECT_EQ(ExportedSubjects(output_dir()), (Subjects{"level 255", "after the chain"}));
  EXPECT_EQ(run.err, "Sous-dossier ignore: profondeur maximale de 256 atteinte\n");
  const std::string summary = "Termine. Nombre de mails exportes: 2\n";
  ASSERT_GE(run.out.size(), summary.size());
  EXPECT_EQ(run.out.substr(run.out.size() - summary.size()), summary);
}

}  // namespace
}  // namespace quillmar
