#include "fields/transport_headers.h"

#include <string>

#include <gtest/gtest.h>

using namespace quillmar;

TEST(FindTransportHeader, GivesTheLastOccurrenceUnfoldedAndTrimmed) {
  const struct { std::string headers, name, expected; } rows[] = {
      {": x", "", ""}, {"X-Info: a:b", "x-info", "a:b"},
      {"Subject: a\r\n\tb\r\n  \t c \t\r\nX: y", "subject", "a b c"},
      {"Subject: a\r\r\n b", "Subject", "a\r b"},  // one CR removed per line
      {"Subject: a\rTo: b", "To", ""},             // CR alone ends no line
      {"fROM: a\nFrom: b\n c\nto: d", "From", "b c"},
      {"From : a", "From", ""}, {"From : a", "From ", "a"},  // the name keeps its blank
      {" From: a", "From", ""},                    // a continuation, not a header
      {"Subject: a\n \n b", "Subject", "a  b"},    // an empty fold still adds its blank
      {"Subject: a\nstray\n\n b\nTo: c\n d", "Subject", "a b"},
      {"Subject: a\n: x\n b", "Subject", "a"},     // an empty name ends the header
      {"Subj\xC3\x89: v", "subj\xC3\xA9", ""},     // only ASCII letters fold case
  };
  for (const auto& row : rows) {
    EXPECT_EQ(find_transport_header(row.headers, row.name), row.expected)
        << "name [" << row.name << "] in headers [" << row.headers << "]";
  }
}
