#include <cstring>

#include <gtest/gtest.h>

#include "quillmar_pst.h"

TEST(ReaderVersion, IsTheSameStaticTextOnEveryCall) {
  const char* first = pst_reader_version();
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first, "pst_reader_dll_1.0");
  EXPECT_EQ(first, pst_reader_version());
}
