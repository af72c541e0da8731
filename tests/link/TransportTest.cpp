// Single bytes and the answer wait, in fake time.
#include <gtest/gtest.h>

#include "base/Session.h"
#include "link/SerialLink.h"
#include "link/Transport.h"
#include "support/LinkRig.h"

namespace flash::test {
namespace {

struct AnswerCase {
  const char* name;
  std::vector<uint8_t> incoming;  // spaced 30 ms apart, from 10 ms on
  uint8_t command;
  bool failed;
  int reportId;  // 0: nothing reported
  const char* detail;
};

class WaitAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(WaitAnswerTest, DecidesOnTheFirstNonZeroByte) {
  const AnswerCase& c = GetParam();
  LinkRig rig;
  ASSERT_EQ(rig.s().link.OpenPort(1, 9600), 0);
  rig.line().Send(c.incoming, 10, 30);
  EXPECT_EQ(WaitAnswer(rig.s(), 3, c.command), c.failed);
  EXPECT_EQ(rig.state().lastReportId, c.reportId);
  if (c.detail) {
    ASSERT_EQ(rig.ui().boxes.size(), 1u);
    EXPECT_EQ(rig.ui().boxes[0].text, std::string("ERROR !!    ") + c.detail + "\r\n No.001 Download error");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, WaitAnswerTest,
    ::testing::Values(
        AnswerCase{"SyncAnswered", {0x11}, 0x18, false, 0, nullptr},
        // A zero cannot be told from silence: it never decides.
        AnswerCase{"ZerosAreSkipped", {0x00, 0x00, 0x00, 0x11}, 0x18, false, 0, nullptr},
        AnswerCase{"DataBlockAnswer", {0x00, 0x01}, 0x00, false, 0, nullptr},
        AnswerCase{"StartAnswer", {0x31}, 0x30, false, 0, nullptr},
        AnswerCase{"WrongAnswer", {0x12}, 0x18, true, 201, "MCU : 12H"},
        AnswerCase{"ZerosThenWrong", {0x00, 0x00, 0x41}, 0x30, true, 201, "MCU : 41H"}),
    [](const ::testing::TestParamInfo<AnswerCase>& p) { return std::string(p.param.name); });

TEST(WaitAnswer, SilenceTimesOutJustAfterTheLimit) {
  LinkRig rig;
  ASSERT_EQ(rig.s().link.OpenPort(1, 9600), 0);
  const uint64_t before = rig.clock().TotalAdvancedMs();
  EXPECT_TRUE(WaitAnswer(rig.s(), 3, 0x18));
  const uint64_t waited = rig.clock().TotalAdvancedMs() - before;
  EXPECT_GT(waited, 3000u);
  EXPECT_LE(waited, 3000u + 160u);  // the last read may add one port time-out
  EXPECT_EQ(rig.state().lastReportId, 203);
  EXPECT_TRUE(rig.s().link.IsOpen());  // a warning leaves the port open
}

TEST(WaitAnswer, CounterWrapDoesNotEndTheWaitEarly) {
  LinkRig rig;
  rig.t->clock.Advance(0xFFFFFFFFu - 500u);  // 500 ms before the counter wraps
  ASSERT_EQ(rig.s().link.OpenPort(1, 9600), 0);
  const uint64_t before = rig.clock().TotalAdvancedMs();
  EXPECT_TRUE(WaitAnswer(rig.s(), 1, 0x18));
  // Counted again from zero after the wrap: at least the whole second after it.
  EXPECT_GT(rig.clock().TotalAdvancedMs() - before, 1000u + 400u);
  EXPECT_EQ(rig.state().lastReportId, 203);
}

TEST(WaitAnswer, AnswerAfterTheWrapIsStillTaken) {
  LinkRig rig;
  rig.t->clock.Advance(0xFFFFFFFFu - 100u);
  ASSERT_EQ(rig.s().link.OpenPort(1, 9600), 0);
  rig.line().Send({0x11}, 900);
  EXPECT_FALSE(WaitAnswer(rig.s(), 1, 0x18));
}

TEST(WaitAnswer, FailedReadEndsTheWaitWithOneReport) {
  LinkRig rig;
  ASSERT_EQ(rig.s().link.OpenPort(1, 9600), 0);
  rig.line().hangUpAt = rig.clock().TickMs() + 200;
  EXPECT_TRUE(WaitAnswer(rig.s(), 3, 0x18));
  EXPECT_EQ(rig.state().lastReportId, 218);
  EXPECT_LT(rig.clock().TotalAdvancedMs(), 400u);
  EXPECT_FALSE(rig.s().link.IsOpen());  // kind 2 closes the port
  EXPECT_EQ(rig.ui().boxes.size(), 2u);  // the read error and the redo notice, nothing more
}

TEST(Transport, WriteFailureReports216AndClosesThePort) {
  LinkRig rig;
  ASSERT_EQ(rig.s().link.OpenPort(1, 9600), 0);
  rig.line().failWriteCall = 2;
  EXPECT_FALSE(WriteUint32(rig.s(), 0x11223344));
  EXPECT_EQ(rig.line().Written(), (std::vector<uint8_t>{0x44, 0x33}));  // stops at the failure
  EXPECT_EQ(rig.state().lastReportId, 216);
  EXPECT_FALSE(rig.s().link.IsOpen());
}

TEST(Transport, ReadByteGivesZeroForSilenceAfterOnePortTimeout) {
  LinkRig rig;
  ASSERT_EQ(rig.s().link.OpenPort(1, 9600), 0);
  EXPECT_EQ(ReadByte(rig.s()), 0);
  EXPECT_EQ(rig.clock().TotalAdvancedMs(), 160u);
  rig.line().Send({0x5A}, 50);
  EXPECT_EQ(ReadByte(rig.s()), 0x5A);
  EXPECT_EQ(rig.state().lastReportId, 0);
}

TEST(Transport, ReadByteOnAClosedPortReports218) {
  LinkRig rig;
  EXPECT_EQ(ReadByte(rig.s()), 0);
  EXPECT_EQ(rig.state().lastReportId, 218);
}

}  // namespace
}  // namespace flash::test
