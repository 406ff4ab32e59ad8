// The folder walk against the fake libpff: visiting order and numbering,
// unreadable messages, folders and counts, the walks by identifier, and the
// guard against looping or absurdly deep folder structures.
#include "walk/folder_walk.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
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

constexpr char kArchiveName[] = "Inbox2019";

std::string DirectoryName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "%s_%08d", kArchiveName, number);
  return name;
}

std::string MailLine(const fs::path& root, int number) {
  return "MAIL " + std::to_string(number) + " OK -> " + (root / DirectoryName(number)).string() +
         "\n";
}

// Subjects of the messages written under root, in the order of their numbers.
std::vector<std::string> ExportedSubjects(const fs::path& root) {
  std::vector<std::string> subjects;
  for (int number = 1;; ++number) {
    std::ifstream mail(root / DirectoryName(number) / "mail.txt", std::ios::binary);
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
  RunOutput Walk(Node& folder) { return Walk(folder, output_dir()); }

  // A chain of `length` folders nested below start; the one at level n
  // holds the message "level n" when n >= mail_from.
  void AddChain(Node& start, int length, int mail_from) {
    Node* folder = &start;
    for (int level = 1; level <= length; ++level) {
      folder = &folder->add_folder();
      if (level >= mail_from) AddMail(*folder, "level " + std::to_string(level));
    }
  }
};

TEST_F(FolderWalkTest, MessagesComeBeforeSubFoldersAndEachSubFolderIsFinishedFirst) {
  Node& top = archive_.root().add_folder();
  AddMail(top, "m1");
  AddMail(top, "m2");
  Node& f1 = top.add_folder();
  AddMail(f1, "m3");
  AddMail(f1.add_folder(), "m3 nested");
  AddMail(top.add_folder(), "m4");
  const RunOutput run = Walk(top);
  EXPECT_EQ(run.result, 5);
  EXPECT_EQ(ExportedSubjects(output_dir()),
            (std::vector<std::string>{"m1", "m2", "m3", "m3 nested", "m4"}));
  EXPECT_EQ(run.out, MailLine(output_dir(), 1) + MailLine(output_dir(), 2) +
                         MailLine(output_dir(), 3) + MailLine(output_dir(), 4) +
                         MailLine(output_dir(), 5));
  EXPECT_EQ(run.err, "");
}

TEST_F(FolderWalkTest, EmptyFolderWritesNothing) {
  const RunOutput run = Walk(archive_.root().add_folder());
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_TRUE(ListOutput().empty());
}

TEST_F(FolderWalkTest, UnreadableMessageIsReportedAndLeavesNoGap) {
  const struct {
    Failure how;
    std::string err;
  } rows[] = {
      {Failure::kError,
       "Erreur lecture message\nlibpff: libpff_folder_get_sub_message: injected failure\n"},
      {Failure::kErrorNoObject, "Erreur lecture message\n"},
      {Failure::kNullObject, "Erreur lecture message\n"},
  };
  int row_number = 0;
  for (const auto& row : rows) {
    Node& folder = archive_.root().add_folder();
    AddMail(folder, "before");
    AddMail(folder, "unreadable");
    AddMail(folder, "after");
    folder.fail_at(Call::kFolderGetSubMessage, 1, row.how);
    const fs::path root = work() / ("row" + std::to_string(row_number++));
    const RunOutput run = Walk(folder, root);
    EXPECT_EQ(run.result, 2) << run.err;
    EXPECT_EQ(ExportedSubjects(root), (std::vector<std::string>{"before", "after"})) << run.err;
    EXPECT_EQ(run.out, MailLine(root, 1) + MailLine(root, 2)) << row.err;
    EXPECT_EQ(run.err, row.err);
  }
}

// A count that cannot be read ends only its own half of the walk, silently.
TEST_F(FolderWalkTest, UnreadableCountsSkipTheirPartSilently) {
  const struct {
    const char* name;
    std::function<void(Node&)> damage;
    std::vector<std::string> subjects;
  } rows[] = {
      {"message count fails", [](Node& f) { f.fail(Call::kFolderGetNumberOfSubMessages); },
       {"in sub-folder"}},
      {"message count fails without error object",
       [](Node& f) { f.fail(Call::kFolderGetNumberOfSubMessages, Failure::kErrorNoObject); },
       {"in sub-folder"}},
      {"negative message count", [](Node& f) { f.report(Call::kFolderGetNumberOfSubMessages, -1); },
       {"in sub-folder"}},
      {"sub-folder count fails", [](Node& f) { f.fail(Call::kFolderGetNumberOfSubFolders); },
       {"own 1", "own 2"}},
      {"negative sub-folder count",
       [](Node& f) { f.report(Call::kFolderGetNumberOfSubFolders, -5); }, {"own 1", "own 2"}},
      {"both fail",
       [](Node& f) {
         f.fail(Call::kFolderGetNumberOfSubMessages).fail(Call::kFolderGetNumberOfSubFolders);
       },
       {}},
  };
  int row_number = 0;
  for (const auto& row : rows) {
    Node& folder = archive_.root().add_folder();
    AddMail(folder, "own 1");
    AddMail(folder, "own 2");
    AddMail(folder.add_folder(), "in sub-folder");
    row.damage(folder);
    const fs::path root = work() / ("row" + std::to_string(row_number++));
    const RunOutput run = Walk(folder, root);
    EXPECT_EQ(ExportedSubjects(root), row.subjects) << row.name;
    EXPECT_EQ(run.err, "") << row.name;
  }
}

TEST_F(FolderWalkTest, UnreadableSubFolderIsReportedAndTheNextOneWalked) {
  Node& top = archive_.root().add_folder();
  AddMail(top.add_folder(), "in failing folder");
  AddMail(top.add_folder(), "in null folder");
  AddMail(top.add_folder(), "in good folder");
  top.fail_at(Call::kFolderGetSubFolder, 0).fail_at(Call::kFolderGetSubFolder, 1,
                                                     Failure::kNullObject);
  const RunOutput run = Walk(top);
  EXPECT_EQ(ExportedSubjects(output_dir()), std::vector<std::string>{"in good folder"});
  EXPECT_EQ(run.err,
            "Erreur lecture sous-dossier\nlibpff: libpff_folder_get_sub_folder: injected failure\n"
            "Erreur lecture sous-dossier\n");
}

// The identifier walk needs an open file; this owns one on the fake.
class OpenArchive {
 public:
  OpenArchive(const std::string& path, fakepff::Archive& archive) : registration_(path, archive) {
    libpff_file_initialize(&file_, nullptr);
    libpff_file_open(file_, path.c_str(), libpff_get_access_flags_read(), nullptr);
  }
  ~OpenArchive() {
    libpff_file_close(file_, nullptr);
    libpff_file_free(&file_, nullptr);
  }
  libpff_file_t* get() const { return file_; }

 private:
  fakepff::ArchiveRegistration registration_;
  libpff_file_t* file_ = nullptr;
};

TEST_F(FolderWalkTest, WalkByIdentifier) {
  constexpr uint32_t kFolderId = 8322;
  const struct {
    const char* name;
    std::function<void(fakepff::Archive&)> setup;
    std::string out_before_mail;  // then the MAIL line when expect_mail
    bool expect_mail;
    std::string err;
  } rows[] = {
      {"no identifier entry", [](fakepff::Archive&) {}, "LABEL id=0\n", false, ""},
      {"identifier 0", [](fakepff::Archive& a) { a.message_store().set_u32(0x35E0, 0); },
       "LABEL id=0\n", false, ""},
      {"entry that is not a 32-bit value",
       [](fakepff::Archive& a) { a.message_store().set_binary(0x35E0, std::string(24, '\x01')); },
       "LABEL id=0\n", false, ""},
      {"identifier that resolves",
       [](fakepff::Archive& a) { a.message_store().set_u32(0x35E0, kFolderId); },
       "LABEL id=8322\nParcours LABEL\n", true, ""},
      {"identifier printed unsigned",
       [](fakepff::Archive& a) {
         a.message_store().set_u32(0x35E0, 0xFFFFFFF0u);
         a.root().folders().at(0)->set_identifier(0xFFFFFFF0u);
       },
       "LABEL id=4294967280\nParcours LABEL\n", true, ""},
      {"identifier without item",
       [](fakepff::Archive& a) { a.message_store().set_u32(0x35E0, kFolderId + 1); },
       "LABEL id=8323\n", false, "Impossible d'ouvrir dossier par identifiant\n"},
      {"look-up fails",
       [](fakepff::Archive& a) {
         a.message_store().set_u32(0x35E0, kFolderId);
         a.fail_at(Call::kFileGetItemByIdentifier, kFolderId);
       },
       "LABEL id=8322\n", false,
       "Impossible d'ouvrir dossier par identifiant\n"
       "libpff: libpff_file_get_item_by_identifier: injected failure\n"},
      {"look-up gives null",
       [](fakepff::Archive& a) {
         a.message_store().set_u32(0x35E0, kFolderId);
         a.fail_at(Call::kFileGetItemByIdentifier, kFolderId, Failure::kNullObject);
       },
       "LABEL id=8322\n", false, "Impossible d'ouvrir dossier par identifiant\n"},
  };
  for (const auto& row : rows) {
    fakepff::Archive archive;
    Node& folder = archive.root().add_folder();
    folder.set_identifier(kFolderId);
    AddMail(folder, "found");
    row.setup(archive);
    const fs::path root = work() / row.name;
    fs::create_directories(root);
    MailExportContext context{root, kArchiveName, 1};
    RunOutput run;
    {
      OpenArchive file("/fake/walk.pst", archive);
      fakepff::ScopedItem store(archive.message_store());
      run = CaptureConsole([&] {
        walk_folder_by_identifier(file.get(), store.get(), 0x35E0, "LABEL", context);
        return context.mail_number - 1;
      });
    }
    EXPECT_EQ(run.out, row.out_before_mail + (row.expect_mail ? MailLine(root, 1) : ""))
        << row.name;
    EXPECT_EQ(run.err, row.err) << row.name;
    EXPECT_EQ(ExportedSubjects(root),
              row.expect_mail ? std::vector<std::string>{"found"} : std::vector<std::string>{})
        << row.name;
    EXPECT_EQ(fakepff::audit(), "") << row.name;
  }
}

// A damaged archive can lead a sub-folder back to a folder on the current
// path; that sub-folder is reported and skipped, and the run goes on. A folder
// met again on another branch is not a loop and is walked again.
TEST_F(FolderWalkTest, FolderAlreadyOnThePathIsNotEntered) {
  Node& root = archive_.root();
  Node& a = root.add_folder();
  a.set_identifier(500);
  AddMail(a, "a");
  Node& back_to_a = a.add_folder();
  back_to_a.set_identifier(500);
  AddMail(back_to_a, "inside the loop");
  Node& back_to_root = a.add_folder();
  back_to_root.set_identifier(root.identifier());
  AddMail(back_to_root, "inside the loop to the root");
  Node& c = a.add_folder();
  c.set_identifier(501);
  AddMail(c, "c");
  Node& a_again = root.add_folder();
  a_again.set_identifier(500);
  AddMail(a_again, "same identifier on another branch");

  const RunOutput run = Export();
  EXPECT_EQ(run.result, 3);
  EXPECT_EQ(ExportedSubjects(output_dir()),
            (std::vector<std::string>{"a", "c", "same identifier on another branch"}));
  EXPECT_EQ(run.err,
            "Sous-dossier ignore: boucle sur le dossier id=500\n"
            "Sous-dossier ignore: boucle sur le dossier id=" +
                std::to_string(root.identifier()) + "\n");
  EXPECT_NE(run.out.find("Termine. Nombre de mails exportes: 3\n"), std::string::npos) << run.out;
}

// Folders whose identifier cannot be read cannot be recognised as a loop;
// they are walked.
TEST_F(FolderWalkTest, FoldersWithoutReadableIdentifierAreWalked) {
  Node& top = archive_.root().add_folder();
  top.fail(Call::kItemGetIdentifier);
  Node& sub = top.add_folder();
  sub.fail(Call::kItemGetIdentifier);
  AddMail(sub.add_folder().fail(Call::kItemGetIdentifier), "deep");
  const RunOutput run = Walk(top);
  EXPECT_EQ(ExportedSubjects(output_dir()), std::vector<std::string>{"deep"});
  EXPECT_EQ(run.err, "");
}

// At most kMaxFolderDepth folders stand on one path, the starting folder
// included; the first folder beyond is reported once and not entered.
TEST_F(FolderWalkTest, NestingBeyondTheDepthLimitIsCut) {
  const std::string cut_line = "Sous-dossier ignore: profondeur maximale de " +
                               std::to_string(kMaxFolderDepth) + " atteinte\n";
  const int last = kMaxFolderDepth - 1;  // deepest level walked below the start
  const std::vector<std::string> near_the_limit = {"level " + std::to_string(last - 1),
                                                   "level " + std::to_string(last)};
  const struct {
    int chain;  // folders nested below the starting folder
    std::string err;
  } rows[] = {
      {last, ""},
      {last + 1, cut_line},
      {last + 45, cut_line},
  };
  for (const auto& row : rows) {
    Node& start = archive_.root().add_folder();
    AddChain(start, row.chain, last - 1);
    const fs::path root = work() / ("chain" + std::to_string(row.chain));
    const RunOutput run = Walk(start, root);
    EXPECT_EQ(ExportedSubjects(root), near_the_limit) << "chain of " << row.chain;
    EXPECT_EQ(run.err, row.err) << "chain of " << row.chain;
  }
}

TEST_F(FolderWalkTest, RunGoesOnAfterACutChain) {
  AddChain(archive_.root(), 300, kMaxFolderDepth - 1);
  AddMail(archive_.root().add_folder(), "after the chain");
  const RunOutput run = Export();
  EXPECT_EQ(run.result, 2);
  EXPECT_EQ(ExportedSubjects(output_dir()),
            (std::vector<std::string>{"level 255", "after the chain"}));
  EXPECT_EQ(run.err, "Sous-dossier ignore: profondeur maximale de 256 atteinte\n");
  const std::string summary = "Termine. Nombre de mails exportes: 2\n";
  ASSERT_GE(run.out.size(), summary.size());
  EXPECT_EQ(run.out.substr(run.out.size() - summary.size()), summary);
}

}  // namespace
}  // namespace quillmar
