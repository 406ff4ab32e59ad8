#include "fields/message_fields.h"

#include <string>

#include <gtest/gtest.h>

namespace quillmar {
namespace {

TEST(MessageFields, FreshRecordIsEmptyButForNormalPriority) {
  MessageFields fields;
  EXPECT_EQ(fields.priority, "Normale");
  for (const std::string* field : {&fields.who, &fields.sender, &fields.to, &fields.cc,
                                   &fields.subject, &fields.date, &fields.body,
                                   &fields.headers}) {
    EXPECT_TRUE(field->empty());
  }
}

TEST(NormalizeRecipientList, GivesTheSemicolonTerminatedForm) {
  struct Row {
    std::string input;
    std::string expected;
  };
  const Row rows[] = {
      {"", ""},
      {" \t\r\n ", ""},
      {"Alice, Bob", "Alice; Bob;"},
      {"a;;b", "a;;b;"},
      {"a;", "a;"},
      {"a,", "a;"},
      {" Alice\t\n Bob  ", "Alice Bob;"},
      {"a\r\n\r\nb", "a b;"},
      {"a  ;  b", "a ; b;"},                  // blanks around ';' stay, squeezed
      {"a\vb\fc", "a\vb\fc;"},                // VT and FF stay inside
      {"a \v b", "a \v b;"},                  // and break a run of blanks
      {"\xC2\xA0" "a", "\xC2\xA0" "a;"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(normalize_recipient_list(row.input), row.expected)
        << "input: [" << row.input << "]";
  }
}

TEST(NormalizeRecipientList, SqueezesAMegabyteOfBlanks) {
  std::string text = "a" + std::string(1 << 20, ' ') + "\t\r\n" +
                     std::string(1 << 20, '\t') + "b";
  EXPECT_EQ(normalize_recipient_list(text), "a b;");
  std::string alternating;
  while (alternating.size() < (1 << 20)) alternating += "x  \t,";
  EXPECT_EQ(normalize_recipient_list(alternating).size(), 3 * (alternating.size() / 5));
}

TEST(AppendUniqueItem, AddsTrimmedItemsNotAlreadyInTheList) {
  struct Row {
    std::string list;
    std::string item;
    std::string expected;
  };
  const Row rows[] = {
      {"", "bob", "bob;"},
      {"ann", "  bob \t", "ann;bob;"},
      {"ann;bob;", "ann", "ann;bob;"},
      {"Alice; Bob;", "Alice; Bob;", "Alice; Bob;"},
      {"Alice; Bob;", "Carol", "Alice; Bob;Carol;"},
      {"alice;", "ALICE", "alice;ALICE;"},      // case counts
      {"joann;", "ann", "joann;"},             // any byte sequence counts
      {"ann;", "ann;bob", "ann;ann;bob;"},     // longer than the list
      {"ann;", "x;", "ann;x;"},                // no second ';'
      {"ann;", "   ", "ann;"},
      {"", " \r\n", ""},
      {"a;", "a", "a;"},
      {"a", "a", "a"},                         // found: the list is left as it is
  };
  for (const Row& row : rows) {
    EXPECT_EQ(append_unique_item(row.list, row.item), row.expected)
        << "item [" << row.item << "] to list [" << row.list << "]";
  }
}

}  // namespace
}  // namespace quillmar
