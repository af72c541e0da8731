#include "diag/DiagFiles.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/TestSession.h"

namespace flash {
namespace {

using test::TestSession;

TEST(ResultFile, OkWithoutLineEndNgWithCrLf) {
  TestSession t;
  ASSERT_TRUE(WriteResultFile(t.session, 306, "It ended normally completely"));
  EXPECT_EQ(t.dir.Read("MESSFILE.TXT"), "OK");
  ASSERT_TRUE(WriteResultFile(t.session, 203, " No.003 timeout error\n"));
  EXPECT_EQ(t.dir.Read("MESSFILE.TXT"), "NG\r\n No.003 timeout error\r\n");
  // Success messages other than 306 are NG too; the file holds the latest result only.
  ASSERT_TRUE(WriteResultFile(t.session, 301, "It Erased a flash"));
  EXPECT_EQ(t.dir.Read("MESSFILE.TXT"), "NG\r\nIt Erased a flash");
  // A text that already carries CR LF keeps it as the text-mode file would write it.
  EXPECT_EQ(ResultFileContent(214, "a\r\nb"), "NG\r\na\r\r\nb");
}

TEST(ResultFile, UnwritableFileIsToldOnceAndNotFatal) {
  TestSession t;
  // A directory in its way.
  ASSERT_TRUE(std::filesystem::create_directory(t.dir.File("MESSFILE.TXT")));
  EXPECT_FALSE(WriteResultFile(t.session, 203, "x"));
  ASSERT_EQ(t.ui.logLines.size(), 1u);
  EXPECT_NE(t.ui.logLines[0].find("MESSFILE.TXT"), std::string::npos);
}

TEST(TimingTrace, OnlyWhenTheFileExists) {
  TestSession t;
  t.state().deviceNames = {"DEMO_CHIP"};
  t.state().startTime = {100, 900};
  t.clock.SetWallMs(102'100);
  WriteTimingTrace(t.session, TimingDownload);
  EXPECT_FALSE(t.dir.Exists("TIMETEST.TXT"));
  EXPECT_EQ(t.state().endTime.seconds, 102);

  t.dir.Write("TIMETEST.TXT", "");
  t.clock.SetDate({2026, 3, 7});
  // 10:00:05.900 to 10:00:07.100
  t.state().startTime = {36005, 900};
  t.clock.SetWallMs(36007'100);
  WriteTimingTrace(t.session, TimingDownload);
  t.clock.SetWallMs(36009'000);
  WriteTimingTrace(t.session, TimingErase);
  t.clock.SetWallMs(36010'000);
  WriteTimingTrace(t.session, TimingDownload);  // a later success replaces the value
  EXPECT_EQ(t.dir.Read("TIMETEST.TXT"),
            "[20260307 - DEMO_CHIP]\r\nDOWNLOAD=4.100\r\nERACE=3.100\r\n");
  WriteTimingTrace(t.session, 9);  // no key: nothing
  EXPECT_EQ(t.dir.Read("TIMETEST.TXT"),
            "[20260307 - DEMO_CHIP]\r\nDOWNLOAD=4.100\r\nERACE=3.100\r\n");
}

TEST(TimingTrace, ElapsedBorrowsASecond) {
  EXPECT_EQ(ElapsedText({10, 900}, {12, 100}), "1.200");
  EXPECT_EQ(ElapsedText({10, 100}, {12, 900}), "2.800");
  EXPECT_EQ(ElapsedText({10, 0}, {10, 7}), "0.007");
}

TEST(CrcTest, SameSequenceEveryRunAndOnlyWithTheSwitch) {
  uint32_t state = 1;
  // The classic runtime's first values from an unseeded generator.
  EXPECT_EQ(NextCrtRandom(state), 41);
  EXPECT_EQ(NextCrtRandom(state), 18467);
  EXPECT_EQ(NextCrtRandom(state), 6334);

  TestSession t;
  for (int i = 0; i < 300; ++i) EXPECT_EQ(CrcTestHit(t.session), 0);
  t.dir.Write("CRCTEST.TXT", "");
  int hits = 0;
  std::vector<int> first;
  for (int i = 0; i < 12800; ++i) {
    if (CrcTestHit(t.session)) {
      ++hits;
      if (first.size() < 3) first.push_back(i);
    }
  }
  EXPECT_GT(hits, 60);  // about one in 128
  EXPECT_LT(hits, 140);
  // A second run hits the same blocks.
  TestSession again;
  again.dir.Write("CRCTEST.TXT", "");
  std::vector<int> firstAgain;
  for (int i = 0; firstAgain.size() < 3 && i < 12800; ++i)
    if (CrcTestHit(again.session)) firstAgain.push_back(i);
  EXPECT_EQ(first, firstAgain);
}

}  // namespace
}  // namespace flash
