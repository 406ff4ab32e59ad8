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

TEST(ExitStatus, MissingIsThreeAndAnyFailureIsOne) {
  auto outcomes = [](std::vector<Result> results) {
    std::vector<ArchiveOutcome> list(results.size());
    for (size_t i = 0; i < results.size(); ++i) list[i].result = results[i];
    return list;
  };
  EXPECT_EQ(exit_status(outcomes({Result::kComplete, Result::kExported})), 0);
  EXPECT_EQ(exit_status(outcomes({Result::kIncomplete, Result::kComplete})), 3);
  EXPECT_EQ(exit_status(outcomes({Result::kIncomplete, Result::kTimedOut})), 1);
  EXPECT_EQ(exit_status(outcomes({Result::kCrashed, Result::kIncomplete})), 1);
  EXPECT_EQ(exit_status(outcomes({})), 0);
}

TEST(JsonReport, EscapesWhatJsonCannotHoldRaw) {
  ArchiveOutcome outcome;
  outcome.archive = "a\"b\\c\n\x01é.pst";
  outcome.result = Result::kIncomplete;
  outcome.missing = {"x \"y\""};
  const std::string json = json_report({outcome});
  EXPECT_NE(json.find(R"("archive": "a\"b\\c\u000a\u0001é.pst")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("result": "incomplete")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("missing": ["x \"y\""]})"), std::string::npos) << json;
}

}  // namespace pst2txt
