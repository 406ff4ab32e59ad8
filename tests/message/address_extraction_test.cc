#include "message/address_extraction.h"

#include <cstdio>
#include <iterator>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace quillmar {
namespace {

using namespace std::string_literals;

struct Row {
  std::string text;
  std::string first;
  std::string all;
};

TEST(AddressExtraction, FindsWhatTheAddressPatternMatches) {
  const Row rows[] = {
      {"", "", ""},
      {"no at sign here", "", ""},
      {"\"Jean Dupont\" <jean.dupont@example.fr>", "jean.dupont@example.fr",
       "jean.dupont@example.fr;"},
      {"a@b.cd <a@b.cd>", "a@b.cd", "a@b.cd;"},
      {"Bob@Example.COM, bob@example.com", "Bob@Example.COM", "Bob@Example.COM;"},
      {"x@y.com, z@w.org", "x@y.com", "x@y.com;z@w.org;"},
      {"a+b%c_d-e.f@x-y.zw", "a+b%c_d-e.f@x-y.zw", "a+b%c_d-e.f@x-y.zw;"},
      {"...a@ex.com", "...a@ex.com", "...a@ex.com;"},
      {"a@b.CD", "a@b.CD", "a@b.CD;"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(extract_first_email_address(row.text), row.first) << "text: " << row.text;
    EXPECT_EQ(extract_email_addresses(row.text), row.all) << "text: " << row.text;
  }
}

// Where the greedy domain gives bytes back, and where a local part begins.
TEST(AddressExtraction, EndsAndBeginsWhereBacktrackingLeavesTheMatch) {
  const Row rows[] = {
      {"user@host.c", "", ""},                        // one-letter last label
      {"user@mail.ab.c", "user@mail.ab", "user@mail.ab;"},
      {"user@host.ab1", "user@host.ab", "user@host.ab;"},
      {"u@b.c.de.f", "u@b.c.de", "u@b.c.de;"},
      {"u@b-c.de-f.g", "u@b-c.de", "u@b-c.de;"},
      {"u@b..cd", "u@b..cd", "u@b..cd;"},
      {"u@.cd", "", ""},                              // no domain byte before '.'
      {"u@..cd", "u@..cd", "u@..cd;"},
      {"u@1.23", "", ""},
      {"u@host_x.com", "", ""},                       // '_' ends the domain
      {"u@ab.cd_x.com", "u@ab.cd", "u@ab.cd;"},
      {"x@y_a@b.cd", "y_a@b.cd", "y_a@b.cd;"},        // first '@' fails
      {"a@b.cd@e.fg", "a@b.cd", "a@b.cd;"},           // resumes at the '@'
      {"x@a.com.b@c.de", "x@a.com", "x@a.com;.b@c.de;"},
      {"@ex.com", "", ""},
      {"a@@b.cd", "", ""},
      {"o'brien@ex.com", "brien@ex.com", "brien@ex.com;"},
      {"john smith@ex.com", "smith@ex.com", "smith@ex.com;"},
      {"jos\xC3\xA9.m@ex.com", ".m@ex.com", ".m@ex.com;"},
      {"\xE9@ex.com", "", ""},
      {"a\x7F" "b@c.de", "b@c.de", "b@c.de;"},
      {"a\x80" "b@c.de", "b@c.de", "b@c.de;"},
      {"a@bc.de\x7F" "fg", "a@bc.de", "a@bc.de;"},
      {"a@bc.de\x80" "fg", "a@bc.de", "a@bc.de;"},
      {"a@bc.d\xC3\xA9", "", ""},
      {"a\0b@c.de"s, "b@c.de", "b@c.de;"},
      {"a@b.cd\0e"s, "a@b.cd", "a@b.cd;"},
      {"A@B.CD a@b.cd A@b.Cd", "A@B.CD", "A@B.CD;"},
      {"a@b.cd;c@d.ef,a@b.cd", "a@b.cd", "a@b.cd;c@d.ef;"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(extract_first_email_address(row.text), row.first) << "text: " << row.text;
    EXPECT_EQ(extract_email_addresses(row.text), row.all) << "text: " << row.text;
  }
}

// The same pattern through std::regex, which is exact but recursive (it
// overflows the stack on long runs), so only fit for short inputs.
class RegexReference {
 public:
  std::string first(const std::string& text) const {
    std::smatch match;
    return std::regex_search(text, match, pattern_) ? match.str(1) : "";
  }
  std::string all(const std::string& text) const {
    std::string result;
    std::set<std::string> seen;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern_), end;
         it != end; ++it) {
      std::string address = it->str(1);
      std::string key = address;
      for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
      if (seen.insert(key).second) result += address + ";";
    }
    return result;
  }

 private:
  std::regex pattern_{R"(([A-Za-z0-9._%+\-]+@[A-Za-z0-9.\-]+\.[A-Za-z]{2,}))",
                      std::regex::ECMAScript};
};

TEST(AddressExtraction, ReferenceTreatsHighBytesAsMatchingNoClass) {
  RegexReference reference;
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    char c = static_cast<char>(byte);
    std::string local = std::string(1, c) + "@ab.cd";
    std::string domain = "a@" + std::string(1, c) + ".cd";
    std::string label = "a@b.c" + std::string(1, c);
    EXPECT_EQ(reference.first(local), "") << "byte " << byte;
    EXPECT_EQ(reference.first(domain), "") << "byte " << byte;
    EXPECT_EQ(reference.first(label), "") << "byte " << byte;
  }
}

// Up to 60 bytes of address-like pieces and single bytes of every class.
std::string random_text(std::mt19937& rng) {
  static const std::string kPieces[] = {
      "a", "b", "Z", "x9", "ab", "Cd", "efg", "0", "1", ".", "..", "-", "_", "%",
      "+", "@", "@", "@", "@a", "@ab", " ", "  ", "\t", "<", ">", ",", ";", "'",
      "\x7F", "\x80", "\xC3\xA9", "\xFF", "\0", ".com", ".c", ".fr", ".De",
      ".d1", "a.b", "x.yz", "b@c", ".xy", "@d.ef", "Jo.e@Ex"};
  std::uniform_int_distribution<size_t> length(0, 60);
  std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
  size_t target = length(rng);
  std::string text;
  while (text.size() < target) text += kPieces[pick(rng)];
  text.resize(target);
  return text;
}

TEST(AddressExtraction, AgreesWithStdRegexOnRandomShortTexts) {
  constexpr int kCases = 100000;
  RegexReference reference;
  std::mt19937 rng(20240601);
  int with_match = 0;
  int with_several = 0;
  int disagreements = 0;
  for (int i = 0; i < kCases && disagreements < 10; ++i) {
    std::string text = random_text(rng);
    std::string expected_all = reference.all(text);
    std::string expected_first = reference.first(text);
    std::string actual_all = extract_email_addresses(text);
    std::string actual_first = extract_first_email_address(text);
    if (!expected_first.empty()) ++with_match;
    if (expected_all.find(';') + 1 < expected_all.size()) ++with_several;
    if (actual_first != expected_first || actual_all != expected_all) {
      ++disagreements;
      ADD_FAILURE() << "case " << i << " text: [" << text << "]\n  first: ["
                    << actual_first << "] expected [" << expected_first
                    << "]\n  all: [" << actual_all << "] expected [" << expected_all
                    << "]";
    }
  }
  std::printf("compared %d random texts with std::regex: %d with a match, %d with several, "
              "%d disagreements\n", kCases, with_match, with_several, disagreements);
  EXPECT_EQ(disagreements, 0);
  // The alphabet must keep producing matches, or the comparison proves little.
  EXPECT_GT(with_match, kCases / 4);
  EXPECT_GT(with_several, kCases / 25);
}

// Shapes that make a backtracking matcher recurse deeply or retry each start.
TEST(AddressExtraction, SurvivesAdversarialMegabyteInputs) {
  constexpr size_t kSize = 1 << 20;
  std::string local_run(kSize, 'a');
  EXPECT_EQ(extract_first_email_address(local_run), "");
  EXPECT_EQ(extract_first_email_address(local_run + "@b.cd").size(), kSize + 5);

  std::string dotted_domain = "a@";
  while (dotted_domain.size() < kSize) dotted_domain += "a.";
  EXPECT_EQ(extract_first_email_address(dotted_domain), "");
  EXPECT_EQ(extract_email_addresses(dotted_domain + "a"), "");

  std::string at_signs(kSize, '@');
  EXPECT_EQ(extract_email_addresses(at_signs), "");

  std::string many_ats;
  while (many_ats.size() < kSize) many_ats += "a.b@";
  EXPECT_EQ(extract_email_addresses(many_ats), "");
  EXPECT_EQ(extract_email_addresses(many_ats + "cd.ef"), "a.b@cd.ef;");

  std::string repeated;
  while (repeated.size() < kSize) repeated += "Ab@cd.ef ";
  EXPECT_EQ(extract_email_addresses(repeated), "Ab@cd.ef;");
}

}  // namespace
}  // namespace quillmar
