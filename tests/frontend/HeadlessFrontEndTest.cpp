// The console front end off a terminal: a file stands in for standard
// error. On a terminal it is tested in PosixHeadlessFrontEndTest.cpp.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/ProgressDialog.h"
#include "frontend/HeadlessFrontEnd.h"

namespace flash::test {
namespace {

TEST(HeadlessFrontEnd, OffATerminalNoProgressLineIsDrawn) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    HeadlessFrontEnd ui(file);
    ProgressDialog dialog(kLayoutBar);  // no "Ok" to print a result for
    ASSERT_TRUE(dialog.Open(ui));
    dialog.ShowStatus(" Erasing");
    dialog.SetBar(0, 30, 1, 3);
  }
  EXPECT_EQ(std::ftell(file), 0L);
  std::fclose(file);
}

}  // namespace
}  // namespace flash::test
