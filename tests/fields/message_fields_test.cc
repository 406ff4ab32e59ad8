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

TEST(AppendUniqueItem, AddsTheTrimmedItemUnlessTheListHoldsItsBytes) {
  const struct { std::string list, item, expected; } rows[] = {
      {"", "bob", "bob;"}, {"", " \r\n", ""}, {"ann", "  bob \t", "ann;bob;"},
      {"ann;bob;", "ann", "ann;bob;"}, {"alice;", "ALICE", "alice;ALICE;"},
      {"joann;", "ann", "joann;"}, {"ann;", "ann;bob", "ann;ann;bob;"},
      {"ann;", "x;", "ann;x;"}, {"a", "a", "a"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(append_unique_item(row.list, row.item), row.expected)
        << "[" << row.item << "] to [" << row.list << "]";
  }
}
