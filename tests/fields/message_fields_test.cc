#include "fields/message_fields.h"

#include <string>

#include <gtest/gtest.h>

using namespace quillmar;

TEST(NormalizeRecipientList, GivesTheSemicolonTerminatedForm) {
  const struct { std::string input, expected; } rows[] = {
      {" \t\r\n ", ""}, {"a,", "a;"}, {"a;", "a;"}, {"Alice, Bob", "Alice; Bob;"},
      {" Alice\t\r\n Bob  ;; c ", "Alice Bob ;; c;"},
      {"a \v b\fc", "a \v b\fc;"},  // VT and FF are no blanks inside
  };
  for (const auto& row : rows) {
    EXPECT_EQ(normalize_recipient_list(row.input), row.expected) << "[" << row.input << "]";
  }
}
