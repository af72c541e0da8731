// The production log file on POSIX: its mode, and links, FIFOs and
// read-only files under its name.
#include "diag/ProductionLog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "diag/ProductionLogTestUtil.h"
#include "support/TempDir.h"

namespace flash {
namespace {

using test::FullRecord;

TEST(ProductionLog, AppendsWholeLinesAndMakesTheFile) {
  test::TempDir dir;
  const std::string path = dir.File("production.jsonl");
  std::string error;
  ASSERT_TRUE(AppendLogRecord(path, "{\"a\":1}\n", error)) << error;
  ASSERT_TRUE(AppendLogRecord(path, FormatLogRecord(FullRecord()), error)) << error;
  EXPECT_EQ(dir.Read("production.jsonl"), "{\"a\":1}\n" + FormatLogRecord(FullRecord()));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0644 & ~mask);
}

TEST(ProductionLog, RefusesWhatIsNoPlainFile) {
  test::TempDir dir;
  std::string error;
  ASSERT_EQ(::mkdir(dir.File("adir").c_str(), 0755), 0);
  EXPECT_FALSE(AppendLogRecord(dir.File("adir"), "x\n", error));
  EXPECT_NE(error.find("it is a directory"), std::string::npos) << error;

  dir.Write("target.jsonl", "");
  ASSERT_EQ(::symlink(dir.File("target.jsonl").c_str(), dir.File("link.jsonl").c_str()), 0);
  EXPECT_FALSE(AppendLogRecord(dir.File("link.jsonl"), "x\n", error));
  EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
  EXPECT_EQ(dir.Read("target.jsonl"), "");

  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(AppendLogRecord(dir.File("fifo"), "x\n", error));  // and does not block
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;

  EXPECT_FALSE(AppendLogRecord(dir.File("no/such/log.jsonl"), "x\n", error));
  EXPECT_NE(error.find("no/such/log.jsonl"), std::string::npos) << error;

  if (::geteuid() != 0) {  // root writes a read-only file regardless
    dir.Write("readonly.jsonl", "");
    ASSERT_EQ(::chmod(dir.File("readonly.jsonl").c_str(), 0444), 0);
    EXPECT_FALSE(AppendLogRecord(dir.File("readonly.jsonl"), "x\n", error));
    EXPECT_NE(error.find("ermission"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace flash
