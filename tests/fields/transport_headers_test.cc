#include "fields/transport_headers.h"

#include <iterator>
#include <map>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "message/text_cleanup.h"

namespace quillmar {
namespace {

struct Row {
  std::string headers;
  std::string name;
  std::string expected;
};

TEST(FindTransportHeader, LooksUpUnfoldedTrimmedValues) {
  const Row rows[] = {
      {"", "From", ""},
      {"From: a@b.cd", "", ""},
      {"Subject: Hello\r\n World\r\n", "Subject", "Hello World"},
      {"Subject: Hello\n\tWorld", "subject", "Hello World"},
      {"Subject: a\n  \t b \t \nX: y", "Subject", "a b"},
      {"Subject: a\n \nX: y", "Subject", "a"},          // empty fold: trimmed away
      {"Subject: a\n \n b", "Subject", "a  b"},          // ... unless text follows
      {"FROM: a", "From", "a"},
      {"From: a", "FROM", "a"},
      {"From : a", "From", ""},                         // name keeps its blank
      {"From : a", "From ", "a"},
      {" From: a", "From", ""},                         // a continuation, dropped
      {"To: a\nTo: b", "To", "b"},
      {"To: a\nto: b\nCc: c", "TO", "b"},
      {"X-Info: a:b", "X-Info", "a:b"},
      {"Subject:", "Subject", ""},
      {"Subject:\r\n", "Subject", ""},
      {"Subject: a\r\r\n", "Subject", "a"},             // one CR removed, then trimmed
      {"Subject: A\n\n B", "Subject", "A B"},            // blank line closes nothing
      {"Subject: A\nstray text\n B\nTo: c", "Subject", "A B"},
      {"Subject: A\n: x\n B", "Subject", "A"},          // empty name ends the fold
      {": x", "", ""},
      {"Subject: a\rTo: b\r", "Subject", "a\rTo: b"},    // CR alone ends no line
      {"Subject: a\rTo: b\r", "To", ""},
      {"no colon anywhere", "no colon anywhere", ""},
      {"Subject: \xC3\xA9t\xC3\xA9 =?utf-8?q?x?=", "Subject",
       "\xC3\xA9t\xC3\xA9 =?utf-8?q?x?="},
      {"Subj\xC3\x89: v", "subj\xC3\x89", "v"},
      {"Subj\xC3\x89: v", "subj\xC3\xA9", ""},           // only ASCII case folds
  };
  for (const Row& row : rows) {
    EXPECT_EQ(find_transport_header(row.headers, row.name), row.expected)
        << "name [" << row.name << "] in headers [" << row.headers << "]";
  }
}

// The look-up done literally: every header stored in a table, each store
// replacing the key's value.
std::string find_header_in_table(const std::string& headers, const std::string& name) {
  std::map<std::string, std::string> table;
  std::string current_name;
  std::string current_value;
  auto store = [&] {
    if (!current_name.empty()) {
      table[to_ascii_lower(current_name)] = trim_whitespace(current_value);
    }
  };
  size_t pos = 0;
  while (pos < headers.size()) {
    size_t lf = headers.find('\n', pos);
    if (lf == std::string::npos) lf = headers.size();
    std::string line = headers.substr(pos, lf - pos);
    pos = lf + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
      current_value += " " + trim_whitespace(line);
      continue;
    }
    store();
    size_t colon = line.find(':');
    if (colon != std::string::npos) {
      current_name = line.substr(0, colon);
      current_value = line.substr(colon + 1);
    }
  }
  store();
  auto it = table.find(to_ascii_lower(name));
  return it == table.end() ? "" : it->second;
}

TEST(FindTransportHeader, AgreesWithAFullTableOnRandomHeaderBlocks) {
  static const std::string kPieces[] = {
      "\na:", "\nA: ", "\na :", "\nab:", "\nb:", "\n:", "x", " y", "\t", "  ",
      "\n", "\r\n", "\r", "\n ", "\n\t", ":"};
  const std::string names[] = {"a", "A", "ab", "b", "a ", "x", ""};
  std::mt19937 rng(7);
  std::uniform_int_distribution<size_t> count(0, 16);
  std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
  int found = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string headers;
    for (size_t n = count(rng); n > 0; --n) headers += kPieces[pick(rng)];
    for (const std::string& name : names) {
      std::string expected = find_header_in_table(headers, name);
      if (!expected.empty()) ++found;
      ASSERT_EQ(find_transport_header(headers, name), expected)
          << "name [" << name << "] in headers [" << headers << "]";
    }
  }
  EXPECT_GT(found, 10000);  // of 140000 look-ups
}

TEST(FindTransportHeader, SurvivesAdversarialMegabyteBlocks) {
  constexpr size_t kSize = 1 << 20;
  std::string folded = "Subject: s\r\n";
  while (folded.size() < kSize) folded += " x\r\n";
  EXPECT_EQ(find_transport_header(folded, "Subject").size(), 1 + 2 * (folded.size() - 12) / 4);

  std::string one_line = "To: " + std::string(kSize, 'a');
  EXPECT_EQ(find_transport_header(one_line, "To").size(), kSize);

  std::string stray = "To: a\n";
  while (stray.size() < kSize) stray += "junk\n b\n";
  EXPECT_EQ(find_transport_header(stray, "To").size(), 1 + 2 * (stray.size() - 6) / 8);

  std::string many_headers;
  while (many_headers.size() < kSize) many_headers += "To: a\n";
  EXPECT_EQ(find_transport_header(many_headers, "To"), "a");

  std::string empty_lines(kSize, '\n');
  EXPECT_EQ(find_transport_header(empty_lines, "To"), "");
}

}  // namespace
}  // namespace quillmar
