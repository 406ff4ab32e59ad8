#include "scan/value_format.h"

#include <string>

#include <gtest/gtest.h>

#include "properties/entry_types.h"
#include "support/test_platform.h"

using namespace quillmar;
using namespace std::string_literals;

static std::string render(uint32_t value_type, const std::string& bytes) {
  return render_value_text(value_type, reinterpret_cast<const uint8_t*>(bytes.data()),
                           bytes.size());
}

// Untyped values are UTF-16 text of 3 bytes or more, or else 8-bit text with
// more than 8/10 of its bytes printable. lead is 15 bytes, 12 of them
// printable, so that one more byte decides.
TEST(RenderValueText, RendersEachTypeAndFallsBackForUntypedValues) {
  const std::string lead = "A\0\0\0ppppppppppp"s;
  const std::string ok = "A\0\0\0 ~\t\n\rppppppp"s;  // 13 of 16
  const struct { uint32_t value_type; std::string bytes, expected; } rows[] = {
      {kValueBoolean, "", ""}, {kValueUnicode, "A", ""},  // strings have no fallback
      {kValueUnicode, "H\0i\0\0\0A\0"s, "Hi"}, {kValueString8, "\x01\0C\0\0"s, "\x01\0C"s},
      {kValueInt32, "\x01\x02\x03\xFF\x05", "4278387201"},  // unsigned, little-endian
      {kValueInt32, "1\0"s, "1"}, {kValueInt16, "7", "7"},  // too short: untyped
      {kValueInt16, "\x80\xFF\xFF", "65408"}, {kValueFiletime, "ABCDEFG", ""},
      {kValueBoolean, "\xFF", "true"}, {kValueBoolean, "\0\x01"s, "false"},
      {kValueBinary, "\x01\x02\x03", ""}, {kValueBinary, "A\0B\0C\0"s, "ABC"},
      {kValueBinary, "\0\0ppppppppp\0\0\0"s, "\0\0ppppppppp"s}, {kValueBinary, ok, ok},
      {kValueBinary, lead + "p", lead + "p"}, {kValueBinary, lead + "\x1F", ""},
      {kValueBinary, lead + "\x7F", ""}, {kValueBinary, lead + "\v", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(render(row.value_type, row.bytes), row.expected)
        << "type 0x" << std::hex << row.value_type << " [" << row.bytes << "]";
  }
  EXPECT_EQ(render_value_text(kValueString8, nullptr, 0), "");
}

// Each count is written as 8 bytes, then as 9: a ninth byte is ignored.
TEST(RenderValueText, WritesFiletimesInTheLocalTimeOfTz) {
  const uint64_t summer = 132613668000000000;   // 2021-03-28 01:00:00 UTC, CET to CEST
  const struct { const char* zone; uint64_t ticks; const char* expected; } rows[] = {
      {"UTC0", 132602081669999999, "2021-03-14 15:09:26"},  // 15:09:26.9999999 UTC
      {"UTC0", (uint64_t{1} << 63) - 1, "30828-09-14 02:48:05"},
      {"UTC0", uint64_t{1} << 63, ""},
      {"CET-1CEST,M3.5.0,M10.5.0/3", summer - 1, "2021-03-28 01:59:59"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", summer, "2021-03-28 03:00:00"},
      {"EST5", 0, "1600-12-31 19:00:00"},
  };
  for (const auto& row : rows) {
    if (!quillmar_test::CanUseTimeZone(row.zone)) continue;
    quillmar_test::SetTimeZone(row.zone);
    std::string bytes;
    for (int i = 0; i < 8; ++i) bytes += static_cast<char>(row.ticks >> (8 * i));
    EXPECT_EQ(render(kValueFiletime, bytes), row.expected) << row.zone << ", " << row.ticks;
    EXPECT_EQ(render(kValueFiletime, bytes + "\xFF"), row.expected) << row.zone << ", 9 bytes";
  }
}
