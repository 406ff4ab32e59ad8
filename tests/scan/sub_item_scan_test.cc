// The recipients of a message, as libpff gives them: one address each into
// To or Cc, and the sub-item section of debug_fields.txt.
#include <string>

#include <gtest/gtest.h>

#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

using pstgen::RecipientType;

// Each address once, in recipient order, after the display list: the
// recipient's own sender entry, else SMTP, e-mail, display name; Cc for type
// 2 only; a blank address is written but adds nothing.
TEST_F(ExportTest, EachRecipientAddsOneAddress) {
  pstgen::Message& message = AddMail("s").set_unicode(0x0E04, "Bob");
  message.add_recipient({RecipientType::kTo, "Ann", "ann@legacy", "a@x.org"});
  message.add_recipient({RecipientType::kCc, "Bea", "b@x.org", ""});
  message.add_recipient({RecipientType::kBcc, "Carl", "", ""});
  message.add_recipient({RecipientType::kTo, "", "", "t@x.org"}).set_unicode(0x0C1F, "s@x.org");
  message.add_recipient({RecipientType::kCc, "", "", "  "});
  message.add_recipient({RecipientType::kTo, "Bob", "", ""});
  message.add_recipient({RecipientType::kTo, "", "", "z@x.org"}).remove(0x0C15);
  ASSERT_EQ(Export().result, 1);
  const std::string dump = Read("Inbox2019_00000001/debug_fields.txt");
  const std::string mail = Read("Inbox2019_00000001/mail.txt");
  EXPECT_NE(dump.find("\r\n\r\nsub_items=7\r\n"
                        "sub_item 0 recipient_type=1 addr=a@x.org\r\n"
                        "sub_item 1 recipient_type=2 addr=b@x.org\r\n"
                        "sub_item 2 recipient_type=3 addr=Carl\r\n"
                        "sub_item 3 recipient_type=1 addr=s@x.org\r\n"
                        "sub_item 4 recipient_type=2 addr=  \r\n"
                        "sub_item 5 recipient_type=1 addr=Bob\r\n"
                        "sub_item 6 recipient_type=0 addr=z@x.org\r\n"
                        "\r\n[final]\r\n"),
            std::string::npos) << dump;
  EXPECT_NE(mail.find("\r\n#$des : Bob;a@x.org;Carl;s@x.org;z@x.org;\r\n#$cop : b@x.org;\r\n"),
            std::string::npos) << mail;
}

}  // namespace
}  // namespace quillmar_test
