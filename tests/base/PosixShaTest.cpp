// What is no regular file has no digest: a missing file, a FIFO (whose read
// would block), a directory.
#include "base/Sha256.h"

#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace flash {
namespace {

TEST(Sha256, RefusesWhatIsNoRegularFile) {
  test::TempDir dir;
  std::string hex = "unchanged", error;
  EXPECT_FALSE(Sha256OfFile(dir.File("missing.hex"), hex, error));
  EXPECT_NE(error.find("missing.hex"), std::string::npos);
  EXPECT_EQ(hex, "unchanged");
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  error.clear();
  EXPECT_FALSE(Sha256OfFile(dir.File("fifo"), hex, error));  // and does not block
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(Sha256OfFile(dir.Path(), hex, error));
}

}  // namespace
}  // namespace flash
