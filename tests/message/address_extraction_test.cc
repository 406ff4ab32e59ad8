#include "message/address_extraction.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <utility>

#include <gtest/gtest.h>

using namespace quillmar;
using namespace std::string_literals;

using FirstAndAll = std::pair<std::string, std::string>;

static FirstAndAll extract(const std::string& text) {
  return {extract_first_email_address(text), extract_email_addresses(text)};
}

// The same pattern through std::regex, which recurses per byte and so is only
// fit for short texts.
static FirstAndAll regex_reference(const std::string& text) {
  static const std::regex pattern(R"([A-Za-z0-9._%+\-]+@[A-Za-z0-9.\-]+\.[A-Za-z]{2,})");
  FirstAndAll found;
  std::set<std::string> seen;
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
    std::string key = it->str();
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (found.first.empty()) found.first = it->str();
    if (seen.insert(key).second) found.second += it->str() + ";";
  }
  return found;
}

// Texts of up to 60 bytes from address-like pieces and single bytes of every
// class; the counts show that the pieces keep producing matches.
TEST(AddressExtraction, AgreesWithStdRegexOnRandomShortTexts) {
  static const std::string kPieces[] = {
      "a", "b", "Z", "x9", "ab", "Cd", "efg", "0", "1", ".", "..", "-", "_", "%",
      "+", "@", "@", "@", "@a", "@ab", " ", "  ", "\t", "<", ">", ",", ";", "'",
      "\x7F", "\x80", "\xC3\xA9", "\xFF", "\0"s, ".com", ".c", ".fr", ".De",
      ".d1", "a.b", "x.yz", "b@c", ".xy", "@d.ef", "Jo.e@Ex"};
  constexpr int kCases = 100000;
  std::mt19937 rng(20240601);
  std::uniform_int_distribution<size_t> length(0, 60), pick(0, std::size(kPieces) - 1);
  int with_match = 0, with_several = 0;
  for (int i = 0; i < kCases; ++i) {
    const size_t target = length(rng);
    std::string text;
    while (text.size() < target) text += kPieces[pick(rng)];
    text.resize(target);
    const FirstAndAll expected = regex_reference(text);
    ASSERT_EQ(extract(text), expected) << "text [" << text << "]";
    with_match += !expected.first.empty();
    with_several += std::count(expected.second.begin(), expected.second.end(), ';') > 1;
  }
  std::printf("compared %d random texts with std::regex: %d with a match, %d with several\n",
              kCases, with_match, with_several);
  EXPECT_GT(with_match, kCases / 4);
  EXPECT_GT(with_several, kCases / 25);
  // A run this long overflows the stack of a recursive matcher.
  const std::string long_address = std::string(1 << 20, 'a') + "@b.cd";
  EXPECT_TRUE(extract_first_email_address("<" + long_address + ">") == long_address);
}
