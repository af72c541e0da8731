// Files written whole or not at all: the read-outs of Copy, the settings
// files, the result file and the timing trace. What only POSIX has (no name
// until committed, modes, links, FIFOs) is tested in PosixOutputFileTest.cpp.
#include <gtest/gtest.h>

#include "base/OutputFile.h"
#include "support/TempDir.h"

namespace flash::test {
namespace {

TEST(OutputFile, ADirectoryThatIsNotThereIsAnErrorWithItsReason) {
  TempDir dir;
  OutputFile out(dir.File("no/such/dir/out.mhx"));
  EXPECT_FALSE(out.Ok());
  EXPECT_EQ(out.Error(), OutputError::Other);
  EXPECT_FALSE(out.ErrorText().empty());
  EXPECT_FALSE(out.Write("x"));
  EXPECT_FALSE(out.Commit());
}

}  // namespace
}  // namespace flash::test
