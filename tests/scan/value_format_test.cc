#include "scan/value_format.h"

#include <cstdlib>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "properties/entry_types.h"

namespace quillmar {
namespace {

using namespace std::string_literals;

const uint8_t* bytes_of(const std::string& bytes) {
  return reinterpret_cast<const uint8_t*>(bytes.data());
}

std::string render(uint32_t value_type, const std::string& bytes) {
  return render_value_text(value_type, bytes_of(bytes), bytes.size());
}

std::string filetime_bytes(uint64_t ticks) {
  std::string bytes;
  for (int i = 0; i < 8; ++i) bytes += static_cast<char>((ticks >> (8 * i)) & 0xFF);
  return bytes;
}

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint32_t kValueInt64 = 0x0014;

uint64_t ticks_at_unix_time(int64_t seconds) {
  return static_cast<uint64_t>(seconds + 11644473600) * kTicksPerSecond;
}

std::string format_ticks(uint64_t ticks) {
  std::string bytes = filetime_bytes(ticks);
  return format_filetime(bytes_of(bytes), bytes.size());
}

struct RenderRow {
  uint32_t value_type;
  std::string bytes;
  std::string expected;
};

void expect_rows(const RenderRow* rows, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const RenderRow& row = rows[i];
    EXPECT_EQ(render(row.value_type, row.bytes), row.expected)
        << "row " << i << ": type 0x" << std::hex << row.value_type
        << ", bytes [" << row.bytes << "] of size " << std::dec << row.bytes.size();
  }
}

TEST(RenderValueText, RendersTypedValues) {
  const RenderRow rows[] = {
      {kValueUnicode, "", ""},
      {kValueInt32, "", ""},
      {kValueBinary, "", ""},
      {kValueUnicode, "H\0i\0\0\0A\0"s, "Hi"},
      {kValueUnicode, "A", ""},                    // no fallback for strings
      {kValueString8, "AB\0C\0\0"s, "AB\0C"s},       // only trailing zeros go
      {kValueString8, "\x01\x02", "\x01\x02"},      // no printability test
      {kValueString8, "\0\0"s, ""},
      {kValueInt32, "\x2A\0\0\0"s, "42"},
      {kValueInt32, "\xFF\xFF\xFF\xFF", "4294967295"},
      {kValueInt32, "\x01\x02\x03\x04\x05", "67305985"},
      {kValueInt32, "1\0"s, "1"},                  // too short: fallback
      {kValueInt32, "\x01\0\0"s, ""},
      {kValueInt16, "\xFF\xFF", "65535"},
      {kValueInt16, "\x80\0\xFF"s, "128"},
      {kValueInt16, "7", "7"},
      {kValueBoolean, "\xFF", "true"},
      {kValueBoolean, "\x01\0"s, "true"},
      {kValueBoolean, "\0\x01"s, "false"},
      {kValueFiletime, "ABCDEFG", ""},             // too short: no fallback
      {kValueFiletime, "ABCDEFG\x80", ""},        // 2^63 or more: no fallback
  };
  expect_rows(rows, std::size(rows));
  EXPECT_EQ(render_value_text(kValueString8, nullptr, 0), "");
}

// Untyped values: UTF-16 text of 3 bytes or more wins; otherwise the 8-bit
// text, without trailing zeros, is kept when more than 8/10 of its L bytes are
// printable ASCII, TAB, LF or CR.
TEST(RenderValueText, FallsBackToUtf16ThenToMostlyPrintableText) {
  const std::string p16(16, 'p');
  const RenderRow rows[] = {
      {kValueBinary, std::string(16, '\0'), ""},
      {kValueBinary, "A", "A"},
      {kValueBinary, "\x01\x02\x03", ""},           // U+0201 is only 2 bytes
      {kValueBinary, "ABCD", "\xE4\x89\x81\xE4\x91\x83"},
      {kValueBinary, "A\0B\0C\0"s, "ABC"},           // 3 bytes of UTF-16
      {kValueBinary, "A\0B\0"s, ""},                 // 2 bytes; then 2 of 3
      {kValueBinary, "\0\0pppppppp"s, ""},           // 8 of 10
      {kValueBinary, "\0\0ppppppppp\0\0\0"s, "\0\0ppppppppp"s},  // 9 of 11
      {kValueBinary, "\0\0pppppppp\0\0\0\0"s, ""},   // 8 of 10 after the zeros
      {kValueBinary, "\0\0\x01\x01"s + p16, ""},     // 16 of 20
      {kValueBinary, "\0\0\x01"s + p16 + "p", "\0\0\x01"s + p16 + "p"},  // 17
      {kValueBinary, "\0\0"s + p16 + "\x7F\x7F", ""},
      {kValueBinary, "\0\0"s + p16 + " ~", "\0\0"s + p16 + " ~"},
      {kValueBinary, "\0\0"s + p16 + "\x1F\x80", ""},
      {kValueBinary, "\0\0"s + p16 + "\t\n", "\0\0"s + p16 + "\t\n"},
      {kValueBinary, "\0\0"s + p16 + "\r\r", "\0\0"s + p16 + "\r\r"},
      {kValueBinary, "\0\0"s + p16 + "\v\f", ""},
      {kValueBinary, "A\0\0\0pppppppppppp"s, "A\0\0\0pppppppppppp"s},  // 13 of 16
      {kValueInt64, "\0\0"s + p16 + "pp", "\0\0"s + p16 + "pp"},
  };
  expect_rows(rows, std::size(rows));
}

TEST(PriorityLabel, MapsImportance) {
  const struct {
    int32_t importance;
    const char* label;
  } rows[] = {{2, "Haute"}, {0, "Basse"}, {1, "Normale"}, {3, "Normale"},
              {-1, "Normale"}, {INT32_MIN, "Normale"}, {INT32_MAX, "Normale"}};
  for (const auto& row : rows) {
    EXPECT_EQ(priority_label(row.importance), row.label) << "importance " << row.importance;
  }
}

// Sets TZ for one test and puts the previous value back.
class FormatFiletimeInZone : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* previous = std::getenv("TZ");
    had_tz_ = previous != nullptr;
    if (had_tz_) previous_tz_ = previous;
  }
  void TearDown() override {
    if (had_tz_) {
      setenv("TZ", previous_tz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  void UseZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  bool had_tz_ = false;
  std::string previous_tz_;
};

// Bytes 00 57 D2 05 E4 18 D7 01: 2021-03-14 15:09:26 UTC, on the second.
constexpr uint64_t kExampleTicks = 132602081660000000;

TEST_F(FormatFiletimeInZone, WritesUtcFieldsAtUtc) {
  UseZone("UTC0");
  const struct {
    uint64_t ticks;
    const char* expected;
  } rows[] = {
      {kExampleTicks, "2021-03-14 15:09:26"},
      {kExampleTicks + kTicksPerSecond - 1, "2021-03-14 15:09:26"},
      {kExampleTicks + kTicksPerSecond, "2021-03-14 15:09:27"},
      {kExampleTicks - 1, "2021-03-14 15:09:25"},
      {0, "1601-01-01 00:00:00"},
      {ticks_at_unix_time(0), "1970-01-01 00:00:00"},
      {ticks_at_unix_time(951782400), "2000-02-29 00:00:00"},
      {ticks_at_unix_time(-2203891200 - 1), "1900-02-28 23:59:59"},
      {ticks_at_unix_time(-2203891200), "1900-03-01 00:00:00"},
      {(uint64_t{1} << 63) - 1, "30828-09-14 02:48:05"},
      {uint64_t{1} << 63, ""},
      {~uint64_t{0}, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(format_ticks(row.ticks), row.expected) << "ticks " << row.ticks;
  }
  const std::string example = "\x00\x57\xD2\x05\xE4\x18\xD7\x01"s;
  EXPECT_EQ(format_filetime(bytes_of(example), 7), "");
  EXPECT_EQ(format_filetime(bytes_of(example + "\xFF"), 9), "2021-03-14 15:09:26");
  EXPECT_EQ(render(kValueFiletime, example), "2021-03-14 15:09:26");
}

TEST_F(FormatFiletimeInZone, ShiftsToALocalZoneAndItsSummerTime) {
  UseZone("CET-1CEST,M3.5.0,M10.5.0/3");
  const struct {
    uint64_t ticks;
    const char* expected;
  } rows[] = {
      {kExampleTicks, "2021-03-14 16:09:26"},
      {ticks_at_unix_time(1625140800), "2021-07-01 14:00:00"},
      {ticks_at_unix_time(1640993400), "2022-01-01 00:30:00"},
      {ticks_at_unix_time(1616893200) - 1, "2021-03-28 01:59:59"},
      {ticks_at_unix_time(1616893200), "2021-03-28 03:00:00"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(format_ticks(row.ticks), row.expected) << "ticks " << row.ticks;
  }
}

TEST_F(FormatFiletimeInZone, ConvertsTheFirstInstantToALocalTimeBehindUtc) {
  UseZone("EST5");
  EXPECT_EQ(format_ticks(0), "1600-12-31 19:00:00");
}

}  // namespace
}  // namespace quillmar
