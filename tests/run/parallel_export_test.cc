// Several walkers write the tree and console of one: numbers carried across
// discarded messages, folders met twice, attachments, libpff's error text,
// and a rerun over the tree an earlier run left.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

TEST_F(ExportTest, WalkersTogetherWriteWhatOneWalkerWrites) {
  pstgen::Folder& sub = archive_.add_folder(inbox(), "Sub");
  AddMail("in root", "r", &archive_.root());
  for (int i = 0; i < 60; ++i) {
    pstgen::Folder& folder = i % 3 == 0 ? sub : inbox();
    if (i % 7 == 3) {
      folder.add_message().set_unicode(0x001A, "IPM.Note");  // empty: its number goes on
      continue;
    }
    pstgen::Message& mail = AddMail("s" + std::to_string(i), "body " + std::to_string(i), &folder);
    if (i % 4 == 0) mail.add_attachment({"a.txt", "", std::string(100 * i + 1, 'x')});
  }
  // Without a fault, then with every attachment read failing: each such
  // message then prints its file's path and libpff's text, recorded by a
  // walker and replayed.
  for (const char* failing : {"", "libpff_attachment_data_read_buffer"}) {
    SetEnvironment("QUILLMAR_THREADS", "1");
    libpff_faults::clear_faults();
    if (failing[0] != '\0') libpff_faults::inject(failing, 0, libpff_faults::Fault::kError);
    std::filesystem::remove_all(output_dir());
    const RunOutput serial = Export();
    const Tree tree = Snapshot();
    ASSERT_GT(serial.result, 40);
    for (const char* walkers : {"2", "3", "7"}) {
      SetEnvironment("QUILLMAR_THREADS", walkers);
      for (bool over_earlier_tree : {false, true}) {
        SCOPED_TRACE(std::string(failing) + " walkers=" + walkers +
                     (over_earlier_tree ? " rerun" : ""));
        if (!over_earlier_tree) std::filesystem::remove_all(output_dir());
        const RunOutput run = Export();
        EXPECT_EQ(run.result, serial.result);
        EXPECT_EQ(run.out, serial.out);
        EXPECT_EQ(run.err, serial.err);
        EXPECT_EQ(Snapshot(), tree);
      }
    }
  }
}

}  // namespace
}  // namespace quillmar_test
