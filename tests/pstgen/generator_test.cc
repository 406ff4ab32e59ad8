// The benchmark generator and its command line: option parsing, dates in
// headers, determinism, and the sizes it promises.
#include <gtest/gtest.h>

#include "cli_options.h"
#include "generator.h"
#include "libpff_handles.h"
#include "mail_content.h"
#include "property_list.h"
#include "test_support.h"

namespace pstgen_test {
namespace {

using pstgen::CliOptions;
using pstgen::parse_cli;

TEST(ParseCli, AcceptsEveryOptionForm) {
  CliOptions o;
  ASSERT_EQ(parse_cli({"--messages", "20000", "--folders=7", "--attachments-per-message", "2", "--attachment-every",
                       "5", "--attachment-size-min", "20k", "--attachment-size-max", "200K", "--body-size", "3000",
                       "--seed", "42", "--group-by-folder", "--store-folder-identifier", "--quiet", "out.pst"},
                      o),
            "");
  EXPECT_EQ(o.output, "out.pst");
  EXPECT_EQ(o.generator.messages, 20000u);
  EXPECT_EQ(o.generator.folders, 7u);
  EXPECT_EQ(o.generator.attachments_per_message, 2u);
  EXPECT_EQ(o.generator.attachment_every, 5u);
  EXPECT_EQ(o.generator.attachment_size_min, 20u * 1024);
  EXPECT_EQ(o.generator.attachment_size_max, 200u * 1024);
  EXPECT_EQ(o.generator.body_size, 3000u);
  EXPECT_EQ(o.generator.seed, 42u);
  EXPECT_TRUE(o.generator.group_by_folder && o.generator.store_folder_identifier && o.quiet);
}

TEST(ParseCli, RejectsBadInputWithAMessage) {
  const struct {
    std::vector<std::string> args;
    std::string error;
  } rows[] = {
      {{}, "missing output file"},
      {{"--messages", "ten", "a.pst"}, "invalid value for --messages: ten"},
      {{"--messages", "12x", "a.pst"}, "invalid value for --messages: 12x"},
      {{"--messages", "1G", "a.pst"}, "invalid value for --messages: 1G"},
      {{"--seed", "99999999999999999999", "a.pst"}, "invalid value for --seed"},
      {{"--colour", "red", "a.pst"}, "unknown option --colour"},
      {{"a.pst", "--messages"}, "missing value for --messages"},
      {{"a.pst", "b.pst"}, "unexpected argument: b.pst"},
      {{"--attachment-size-min", "5", "--attachment-size-max", "4", "a.pst"}, "--attachment-size-min is above"},
      {{"--attachment-every", "0", "a.pst"}, "--attachment-every must be at least 1"},
  };
  for (const auto& row : rows) {
    CliOptions o;
    const std::string error = parse_cli(row.args, o);
    EXPECT_EQ(error.substr(0, row.error.size()), row.error) << "args: " << ::testing::PrintToString(row.args);
  }
}

TEST(ParseCli, HelpStopsParsing) {
  CliOptions o;
  EXPECT_EQ(parse_cli({"--help", "--bogus"}, o), "");
  EXPECT_TRUE(o.help);
}

TEST(Rfc5322Date, FormatsFiletimesInUtc) {
  const struct {
    uint64_t filetime;
    const char* text;
  } rows[] = {
      {116444736000000000ull, "Thu, 01 Jan 1970 00:00:00 +0000"},
      {131907744000000000ull, "Tue, 01 Jan 2019 00:00:00 +0000"},
      {133476000000000000ull, "Thu, 21 Dec 2023 02:40:00 +0000"},
      {pstgen::filetime_from_unix(1709210096), "Thu, 29 Feb 2024 12:34:56 +0000"},
      {0, "Mon, 01 Jan 1601 00:00:00 +0000"},
  };
  for (const auto& row : rows) EXPECT_EQ(pstgen::rfc5322_date(row.filetime), row.text) << row.filetime;
}

TEST(Generator, SameSeedSameFileOtherSeedOtherFile) {
  ScratchDir dir;
  pstgen::GeneratorOptions o;
  o.messages = 150;
  o.attachments_per_message = 1;
  o.attachment_size = 3000;
  const std::string paths[] = {dir.file("a.pst"), dir.file("b.pst"), dir.file("c.pst")};
  pstgen::generate_archive(o, paths[0]);
  pstgen::generate_archive(o, paths[1]);
  o.seed = 2;
  pstgen::generate_archive(o, paths[2]);
  EXPECT_TRUE(read_file(paths[0]) == read_file(paths[1]));
  EXPECT_FALSE(read_file(paths[0]) == read_file(paths[2]));
}

TEST(Generator, MessagesHaveTheRequestedSizes) {
  ScratchDir dir;
  pstgen::GeneratorOptions o;
  o.messages = 40;
  o.folders = 1;
  o.body_size = 3000;
  o.header_size_min = 1024;
  o.header_size_max = 2048;
  o.attachments_per_message = 1;
  o.attachment_every = 4;
  o.attachment_size = 777;
  pstgen::generate_archive(o, dir.file("sizes.pst"));
  const LibpffFile file(dir.file("sizes.pst"));
  const Item inbox = sub_folder(sub_folder(file.root_folder().get(), 0).get(), 1);
  ASSERT_EQ(folder_name(inbox.get()), "Inbox");
  ASSERT_EQ(sub_message_count(inbox.get()), 40);
  for (int i = 0; i < 40; ++i) {
    const Item m = sub_message(inbox.get(), i);
    const auto entries = record_entries(m.get());
    EXPECT_EQ(entries.at(0x1000001F).size(), 2 * o.body_size) << "message " << i;
    const size_t headers = entries.at(0x007D001F).size() / 2;
    EXPECT_GE(headers, 800u) << "message " << i;
    EXPECT_LE(headers, o.header_size_max) << "message " << i;
    int attachments = 0;
    libpff_message_get_number_of_attachments(m.get(), &attachments, nullptr);
    EXPECT_EQ(attachments, i % 4 == 0 ? 1 : 0) << "message " << i;
  }
}

}  // namespace
}  // namespace pstgen_test
