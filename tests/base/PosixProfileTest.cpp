// The profile reader on POSIX: a file turned into a FIFO, one its owner may
// not read, devices and links under the name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "base/Profile.h"
#include "base/ProfileTestUtil.h"
#include "support/TempDir.h"

namespace flash {
namespace {

using test::Age;
using test::TempDir;

// Every kind of change is seen at the next read: same size, same second,
// another inode, a file that goes away, one that turns into a FIFO.
TEST(ProfileCache, SeesEveryChangeAtTheNextRead) {
  TempDir dir;
  const std::string p = dir.File("c.ini");
  profile::Cache cache;
  dir.Write("c.ini", "[A]\r\nX=1\r\n");
  EXPECT_EQ(cache.GetInt(p, "A", "X", 0), 1);
  dir.Write("c.ini", "[A]\r\nX=2\r\n");  // same size, within the same clock tick
  EXPECT_EQ(cache.GetInt(p, "A", "X", 0), 2);
  Age(p, 60);
  EXPECT_EQ(cache.GetInt(p, "A", "X", 0), 2);
  dir.Write("d.ini", "[A]\r\nX=3\r\n");
  Age(dir.File("d.ini"), 60);
  ASSERT_EQ(rename(dir.File("d.ini").c_str(), p.c_str()), 0);  // another inode, older stamp
  EXPECT_EQ(cache.GetInt(p, "A", "X", 0), 3);
  ASSERT_EQ(unlink(p.c_str()), 0);
  EXPECT_EQ(cache.GetInt(p, "A", "X", 7), 7);
  EXPECT_FALSE(cache.Index(p));
  ASSERT_EQ(mkfifo(p.c_str(), 0644), 0);
  EXPECT_EQ(cache.GetString(p, "A", "X", "none"), "none");
}

// A file that is there but cannot be read is not replaced by one key: that
// would lose every other line of it.
TEST(Profile, AFileThatCannotBeReadIsNotOverwritten) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  const std::string p = dir.File("locked.ini");
  dir.Write("locked.ini", "[A]\nX=1\nY=2\n");
  ASSERT_EQ(chmod(p.c_str(), 0200), 0);
  EXPECT_FALSE(profile::WriteString(p, "A", "X", "9"));
  ASSERT_EQ(chmod(p.c_str(), 0644), 0);
  EXPECT_EQ(dir.Read("locked.ini"), "[A]\nX=1\nY=2\n");
}

// What a FIFO, a device or a directory under the name reads as: no file.
TEST(Profile, OnlyRegularFilesAreRead) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo.ini").c_str(), 0644), 0);
  ASSERT_EQ(symlink("/dev/zero", dir.File("zero.ini").c_str()), 0);
  ASSERT_EQ(mkdir(dir.File("dir.ini").c_str(), 0755), 0);
  dir.Write("real.ini", "[A]\nX=1\n");
  ASSERT_EQ(symlink("real.ini", dir.File("link.ini").c_str()), 0);
  for (const char* name : {"fifo.ini", "zero.ini", "dir.ini"}) {
    EXPECT_EQ(profile::GetString(dir.File(name), "A", "X", "def"), "def") << name;
    EXPECT_TRUE(profile::SectionNames(dir.File(name)).empty()) << name;
  }
  EXPECT_EQ(profile::GetString(dir.File("link.ini"), "A", "X", "def"), "1");
}

}  // namespace
}  // namespace flash
