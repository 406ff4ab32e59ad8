#include "export_progress.h"

#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace pst2txt {

TEST(MailLineNumber, ReadsOnlyTheExportsMessageLines) {
  const struct { const char* line; uint64_t number; } rows[] = {
      {"MAIL 1 OK -> out/a_00000001", 1},
      {"MAIL 20000 OK -> C:\\out\\a_00020000\r", 20000},
      {"MAIL 4294967296 OK", 4294967296},
  };
  for (const auto& row : rows) EXPECT_EQ(mail_line_number(row.line), row.number) << row.line;
  const char* rejects[] = {"MAIL  1 OK", "MAIL 1OK", "MAIL 1 KO", " MAIL 1 OK", "mail 1 OK",
                           "MAIL x OK", "MAIL 12345678901 OK", "MAIL 7", "Termine. 7 OK", ""};
  for (const char* line : rejects) EXPECT_EQ(mail_line_number(line), std::nullopt) << line;
}

// Output pieces as reads cut them: passed(n) after each.
TEST(ExportProgress, PassesANumberOnceItsWholeLineCame) {
  const struct { std::string piece; uint64_t passed; uint64_t not_passed; } rows[] = {
      {"libpff version: 20180714\nMAIL 1", 0, 1},
      {"2 OK -> out/a_00000012\nMA", 12, 13},
      {"IL 13 OK -> out/a_00000013", 12, 13},
      {"\nErreur lecture message\nMAIL 9 OK -> late\n", 13, 14},
      {"MAIL 14 OK -> out/a_00000014/" + std::string(4000, 'x') + "\n", 14, 15},
      {"Termine. Nombre de mails exportes: 15 OK\n", 14, 15},
  };
  ExportProgress progress;
  for (const auto& row : rows) {
    progress.take_output(row.piece);
    EXPECT_TRUE(progress.passed(row.passed)) << row.piece;
    EXPECT_FALSE(progress.passed(row.not_passed)) << row.piece;
    EXPECT_FALSE(progress.passed(ExportProgress::kEnd)) << row.piece;
  }
}

TEST(ExportProgress, ItsEndOrAStopPassesEverything) {
  for (const bool stop : {false, true}) {
    ExportProgress progress;
    progress.take_output("MAIL 3 OK\n");
    stop ? progress.stop() : progress.finish();
    EXPECT_TRUE(progress.passed(4)) << stop;
    EXPECT_TRUE(progress.passed(ExportProgress::kEnd)) << stop;
    EXPECT_EQ(progress.stopped(), stop);
  }
}

TEST(ExportProgress, AWaiterWakesOnItsLineAndOnTheEnd) {
  ExportProgress progress;
  std::thread message([&] { progress.wait_for(2); });
  std::thread end([&] { progress.wait_for(ExportProgress::kEnd); });
  progress.take_output("MAIL 1 OK\nMAIL 2 OK\n");
  message.join();
  progress.finish();
  end.join();
}

}  // namespace pst2txt
