#include "scan/sub_item_scan.h"

#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "fake_libpff/fake_libpff.h"

namespace quillmar {
namespace {

using fakepff::Call;
using fakepff::Failure;
using fakepff::Node;

struct ScanResult {
  std::string dump;
  MessageFields fields;
};

ScanResult scan(Node& message, MessageFields fields, bool with_stream = true) {
  std::ostringstream out;
  {
    fakepff::ScopedItem item(message);
    scan_sub_items(item.get(), fields, with_stream ? &out : nullptr);
  }
  EXPECT_EQ(fakepff::audit(), "");
  return {out.str(), fields};
}

TEST(SubItemScan, ChoosesOneAddressPerRecipient) {
  struct Case {
    const char* name;
    std::function<void(Node&)> setup;
    std::string address;
  } cases[] = {
      {"sender entry first", [](Node& r) {
         r.set_unicode(0x0C1A, " Name ").set_unicode(0x39FE, "smtp@x.org");
       }, "Name"},
      {"smtp before email", [](Node& r) {
         r.set_unicode(0x39FE, "smtp@x.org").set_unicode(0x3003, "ex@x.org");
       }, "smtp@x.org"},
      {"email before display name", [](Node& r) {
         r.set_unicode(0x3003, "ex@x.org").set_unicode(0x3001, "Ex");
       }, "ex@x.org"},
      {"display name last", [](Node& r) { r.set_unicode(0x3001, "Ex Ample"); }, "Ex Ample"},
      {"nothing", [](Node&) {}, ""},
  };
  for (const Case& c : cases) {
    fakepff::Session session;
    fakepff::Archive archive;
    Node& message = archive.root().add_message();
    c.setup(message.add_sub_item());
    const ScanResult result = scan(message, MessageFields());
    EXPECT_EQ(result.dump, "\r\nsub_items=1\r\nsub_item 0 recipient_type=0 addr=" +
                               c.address + "\r\n") << c.name;
    EXPECT_EQ(result.fields.to, c.address.empty() ? "" : c.address + ";") << c.name;
  }
}

TEST(SubItemScan, RecipientTypeTwoGoesToCcEverythingElseToTo) {
  fakepff::Session session;
  fakepff::Archive archive;
  Node& message = archive.root().add_message();
  message.add_sub_item().set_unicode(0x39FE, "to@x.org").set_u32(0x0C15, 1);
  message.add_sub_item().set_unicode(0x39FE, "cc@x.org").set_u32(0x0C15, 2);
  message.add_sub_item().set_unicode(0x39FE, "bcc@x.org").set_u32(0x0C15, 3);
  message.add_sub_item().set_unicode(0x39FE, "none@x.org");
  message.add_sub_item().set_unicode(0x39FE, "   ").set_u32(0x0C15, 2);
  MessageFields fields;
  fields.to = "Alice; Bob;";
  const ScanResult result = scan(message, fields);
  EXPECT_EQ(result.dump,
            "\r\nsub_items=5\r\n"
            "sub_item 0 recipient_type=1 addr=to@x.org\r\n"
            "sub_item 1 recipient_type=2 addr=cc@x.org\r\n"
            "sub_item 2 recipient_type=3 addr=bcc@x.org\r\n"
            "sub_item 3 recipient_type=0 addr=none@x.org\r\n"
            "sub_item 4 recipient_type=2 addr=   \r\n");
  EXPECT_EQ(result.fields.to, "Alice; Bob;to@x.org;bcc@x.org;none@x.org;");
  EXPECT_EQ(result.fields.cc, "cc@x.org;");
}

TEST(SubItemScan, ContainedAddressesAreNotAddedTwice) {
  fakepff::Session session;
  fakepff::Archive archive;
  Node& message = archive.root().add_message();
  message.add_sub_item().set_unicode(0x3001, "Alice");
  message.add_sub_item().set_unicode(0x3001, "ann");
  message.add_sub_item().set_unicode(0x3001, "Carol");
  MessageFields fields;
  fields.to = "Alice; Bob;joann;";
  const ScanResult result = scan(message, fields, /*with_stream=*/false);
  EXPECT_EQ(result.dump, "");
  EXPECT_EQ(result.fields.to, "Alice; Bob;joann;Carol;");
}

TEST(SubItemScan, AbsorbsFailures) {
  struct Case {
    const char* name;
    std::function<void(Node&)> inject;
    std::string dump;
    std::string to;
  } cases[] = {
      {"count fails", [](Node& m) { m.fail(Call::kItemGetNumberOfSubItems); }, "", ""},
      {"sub-item 0 fails", [](Node& m) { m.fail_at(Call::kItemGetSubItem, 0); },
       "\r\nsub_items=2\r\nsub_item 1 recipient_type=0 addr=b@x.org\r\n", "b@x.org;"},
      {"sub-item 1 null",
       [](Node& m) { m.fail_at(Call::kItemGetSubItem, 1, Failure::kNullObject); },
       "\r\nsub_items=2\r\nsub_item 0 recipient_type=2 addr=a@x.org\r\n", ""},
      {"type unreadable", [](Node& m) {
         m.sub_items()[0]->fail(Call::kItemGetEntryValue32bit);
       },
       "\r\nsub_items=2\r\nsub_item 0 recipient_type=0 addr=a@x.org\r\n"
       "sub_item 1 recipient_type=0 addr=b@x.org\r\n", "a@x.org;b@x.org;"},
  };
  for (const Case& c : cases) {
    fakepff::Session session;
    fakepff::Archive archive;
    Node& message = archive.root().add_message();
    message.add_sub_item().set_unicode(0x39FE, "a@x.org").set_u32(0x0C15, 2);
    message.add_sub_item().set_unicode(0x39FE, "b@x.org");
    c.inject(message);
    const ScanResult result = scan(message, MessageFields());
    EXPECT_EQ(result.dump, c.dump) << c.name;
    EXPECT_EQ(result.fields.to, c.to) << c.name;
  }
}

}  // namespace
}  // namespace quillmar
