#include "run_summary.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pst2txt {

TEST(ProgressText, ShowsRateAndTimeLeftOnlyWhenKnown) {
  const struct { uint64_t done, total; double elapsed; const char* expected; } rows[] = {
      {0, 20000, 0.2, "0/20000 messages"},
      {1500, 20000, 0.9, "1500/20000 messages"},
      {1500, 20000, 2.0, "1500/20000 messages, 750/s, 25 s left"},
      {1000, 0, 2.0, "1000 messages, 500/s"},
      {20001, 20000, 4.0, "20001/20000 messages, 5000/s"},
      {7, 10, 3.0, "7/10 messages, 2/s, 2 s left"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(progress_text(row.done, row.total, row.elapsed), row.expected) << row.expected;
  }
}

TEST(OutputNames, GivesEachArchiveADistinctDirectoryAndLog) {
  EXPECT_EQ(output_names({"a/mail.pst", "b/mail.pst", "c/MAIL.ost", "mail_2.pst"}),
            (std::vector<std::string>{"mail", "mail_2", "MAIL_3", "mail_2_2"}));
  EXPECT_EQ(output_names({"x.log.pst", "x.pst", "x.ost", "/.pst", "dir/.hidden"}),
            (std::vector<std::string>{"x.log", "x_2", "x_3", ".pst", ".hidden"}));
  EXPECT_EQ(output_names({"x.pst", "x.log.pst"}), (std::vector<std::string>{"x", "x.log_2"}));
}

TEST(ExitStatus, FailureOverMissingOverDamaged) {
  const struct { std::vector<Result> results; int expected; } rows[] = {
      {{}, 0},
      {{Result::kComplete, Result::kExported}, 0},
      {{Result::kDamaged, Result::kComplete}, 4},
      {{Result::kExported, Result::kDamaged}, 4},
      {{Result::kIncomplete, Result::kComplete}, 3},
      {{Result::kDamaged, Result::kIncomplete, Result::kDamaged}, 3},
      {{Result::kIncomplete, Result::kTimedOut}, 1},
      {{Result::kCrashed, Result::kIncomplete}, 1},
      {{Result::kDamaged, Result::kFailed}, 1},
  };
  for (size_t r = 0; r < std::size(rows); ++r) {
    std::vector<ArchiveOutcome> outcomes(rows[r].results.size());
    for (size_t i = 0; i < outcomes.size(); ++i) outcomes[i].result = rows[r].results[i];
    EXPECT_EQ(exit_status(outcomes), rows[r].expected) << "row " << r;
  }
}

TEST(JsonReport, EscapesWhatJsonCannotHoldRaw) {
  std::vector<ArchiveOutcome> outcomes(2);
  outcomes[0].archive = "a\"b\\c\n\x01é.pst";
  outcomes[0].result = Result::kIncomplete;
  outcomes[0].missing = {"x \"y\""};
  outcomes[0].damaged = {"d\\1\t", "d2"};
  outcomes[1].result = Result::kDamaged;
  const std::string json = json_report(outcomes);
  const char* expected[] = {
      R"("archive": "a\"b\\c\u000a\u0001é.pst")",
      R"("result": "incomplete")",
      R"("missing": ["x \"y\""], "damaged": ["d\\1\u0009", "d2"]})",
      R"("result": "damaged")",
      R"("missing": [], "damaged": []})",
  };
  for (const char* part : expected) EXPECT_NE(json.find(part), std::string::npos) << part << json;
}

}  // namespace pst2txt
