#include "properties/property_reader.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "fake_libpff/fake_libpff.h"

namespace quillmar {
namespace {

using fakepff::Call;
using fakepff::Failure;
using fakepff::Node;

class PropertyReaderTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(fakepff::audit(), ""); }

  fakepff::Session session_;
  fakepff::Archive archive_;
  Node& message_ = archive_.root().add_message();
};

TEST_F(PropertyReaderTest, Utf8ReadsGiveTextOrNothing) {
  struct Case {
    const char* name;
    std::function<void(Node&)> setup;
    std::string expected;
  } cases[] = {
      {"unicode", [](Node& m) { m.set_unicode(0x0037, "Bonjour \xC3\xA9t\xC3\xA9"); },
       "Bonjour \xC3\xA9t\xC3\xA9"},
      {"string8", [](Node& m) { m.set_string8(0x0037, "plain"); }, "plain"},
      {"embedded NUL cuts", [](Node& m) { m.set_unicode(0x0037, std::string("ab\0cd", 5)); }, "ab"},
      {"absent", [](Node&) {}, ""},
      {"size call fails", [](Node& m) {
         m.set_unicode(0x0037, "x").fail(Call::kItemGetEntryValueUtf8StringSize);
       }, ""},
      {"size call fails without error object", [](Node& m) {
         m.set_unicode(0x0037, "x").fail(Call::kItemGetEntryValueUtf8StringSize,
                                         Failure::kErrorNoObject);
       }, ""},
      {"value call fails", [](Node& m) {
         m.set_unicode(0x0037, "x").fail(Call::kItemGetEntryValueUtf8String);
       }, ""},
      {"binary entry", [](Node& m) { m.set_binary(0x0037, "abc"); }, ""},
  };
  for (const Case& c : cases) {
    fakepff::Session session;
    fakepff::Archive archive;
    Node& message = archive.root().add_message();
    c.setup(message);
    fakepff::ScopedItem item(message);
    EXPECT_EQ(read_utf8_property(item.get(), 0x0037), c.expected) << c.name;
    EXPECT_EQ(fakepff::leaks().size(), 1u) << c.name << ": only the item itself is open";
  }
}

// libpff rejects the value-type flag 0x01 in its entry-value functions, so
// every reader must pass 0 for any direct read to succeed.
TEST_F(PropertyReaderTest, ReadersPassTheFlagLibpffAccepts) {
  message_.set_unicode(0x0037, "Sujet").set_u32(0x0017, 2);
  fakepff::ScopedItem item(message_);
  EXPECT_EQ(read_utf8_property(item.get(), 0x0037), "Sujet");
  EXPECT_EQ(read_u32_property(item.get(), 0x0017, 1), 2u);
  for (Call call : {Call::kItemGetEntryValueUtf8StringSize, Call::kItemGetEntryValueUtf8String,
                    Call::kItemGetEntryValue32bit}) {
    for (const fakepff::CallRecord& record : fakepff::calls(call)) {
      EXPECT_EQ(record.args.back(), 0) << fakepff::function_name(call);
    }
  }
}

TEST_F(PropertyReaderTest, U32ReadsFallBackToTheDefault) {
  message_.set_u32(0x0C15, 2)
      .set_binary(0x35E0, std::string(24, '\x01'))  // an entry identifier, as in real stores
      .set_unicode(0x3001, "not a number");
  fakepff::ScopedItem item(message_);
  EXPECT_EQ(read_u32_property(item.get(), 0x0C15, 7), 2u);
  EXPECT_EQ(read_u32_property(item.get(), 0x0017, 7), 7u);
  EXPECT_EQ(read_u32_property(item.get(), 0x35E0, 0), 0u);
  EXPECT_EQ(read_u32_property(item.get(), 0x3001, 9), 9u);
}

TEST_F(PropertyReaderTest, BodyFallsBackInOrder) {
  struct Case {
    const char* name;
    std::function<void(Node&)> setup;
    std::string expected;
  } cases[] = {
      {"plain text body", [](Node& m) {
         m.set_plain_text_body("plain").set_unicode(0x1000, "entry").set_html_body("<p>");
       }, "plain"},
      // A body libpff reports as present is taken even when it reads empty.
      {"present but empty plain body", [](Node& m) {
         m.set_plain_text_body(std::string("\0late", 5)).set_unicode(0x1000, "entry");
       }, ""},
      {"plain body read fails", [](Node& m) {
         m.set_plain_text_body("plain").set_unicode(0x1000, "entry")
             .fail(Call::kMessageGetPlainTextBody);
       }, "entry"},
      {"body entry", [](Node& m) { m.set_unicode(0x1000, "entry").set_unicode(0x1013, "<b>"); },
       "entry"},
      {"html entry as text", [](Node& m) { m.set_string8(0x1013, "<b>html</b>"); },
       "<b>html</b>"},
      // Real archives store the HTML body as binary; libpff still gives it.
      {"binary html body", [](Node& m) {
         m.set_binary(0x1013, "<p>bin</p>").set_html_body("<p>bin</p>");
       }, "<p>bin</p>"},
      {"html body cut at NUL", [](Node& m) { m.set_html_body(std::string("<p>\0x", 5)); }, "<p>"},
      {"html body read fails", [](Node& m) {
         m.set_html_body("<p>").fail(Call::kMessageGetHtmlBody);
       }, ""},
      {"nothing", [](Node&) {}, ""},
  };
  for (const Case& c : cases) {
    fakepff::Session session;
    fakepff::Archive archive;
    Node& message = archive.root().add_message();
    c.setup(message);
    {
      fakepff::ScopedItem item(message);
      EXPECT_EQ(read_plain_text_body(item.get()), c.expected) << c.name;
    }
    EXPECT_EQ(fakepff::audit(), "") << c.name;
  }
}

TEST_F(PropertyReaderTest, TryReadTellsAnEmptyValueFromNoValue) {
  message_.set_unicode(0x3707, std::string("\0", 1));
  fakepff::ScopedItem item(message_);
  EXPECT_EQ(try_read_utf8_property(item.get(), 0x3707), std::optional<std::string>(""));
  EXPECT_EQ(try_read_utf8_property(item.get(), 0x3704), std::nullopt);
}

}  // namespace
}  // namespace quillmar
