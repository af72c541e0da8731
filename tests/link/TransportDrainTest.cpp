// Writes return before their bytes have left; the waits that time an answer
// count from when the bytes left, and ask the port only when they must.
#include <gtest/gtest.h>

#include <vector>

#include "base/Session.h"
#include "link/Primitives.h"
#include "link/Protocol.h"
#include "link/SerialLink.h"
#include "link/Transport.h"
#include "support/LinkRig.h"

namespace flash::test {
namespace {

// 1,000 bytes at 9600 baud: 1,042 ms on the wire (10 bits a byte).
constexpr std::size_t kLongWrite = 1000;
constexpr uint32_t kLongWireMs = 1042;

struct Rig : LinkRig {
  Rig() { EXPECT_EQ(s().link.OpenPort(1, 9600), 0); }
  // Queues the long write; returns the tick it was made at.
  uint32_t WriteLong() {
    const std::vector<uint8_t> bytes(kLongWrite, 0x55);
    const uint32_t at = clock().TickMs();
    EXPECT_TRUE(s().link.WriteBlock(bytes.data(), bytes.size()));
    return at;
  }
};

TEST(AnswerWaitAfterAWrite, TheWriteReturnsAtOnceAndTheTimeOutCountsFromWhenTheBytesLeft) {
  Rig rig;
  const uint32_t at = rig.WriteLong();
  EXPECT_EQ(rig.clock().TickMs(), at);  // queued, not sent
  EXPECT_TRUE(WaitForAnswer(rig.s(), kSyncAnswerSeconds, kAnswerDone));
  EXPECT_EQ(rig.state().lastReportId, 203);
  const uint32_t waited = rig.clock().TickMs() - at;
  EXPECT_GT(waited, kLongWireMs + 1000u);
  EXPECT_LE(waited, kLongWireMs + 1000u + 160u);  // the last read may add one port time-out
}

TEST(AnswerWaitAfterAWrite, AnAnswerLaterThanTheLimitFromTheWriteButWithinItFromTheWireIsTaken) {
  Rig rig;
  const uint32_t at = rig.WriteLong();
  // 1.5 s after the write: 0.46 s after its last byte left.
  rig.line().SendAt(at + 1500, kAnswerDone);
  EXPECT_FALSE(WaitForAnswer(rig.s(), kSyncAnswerSeconds, kAnswerDone));
  EXPECT_EQ(rig.state().lastReportId, 0);
  EXPECT_EQ(rig.line().drainCalls, 1);
}

TEST(AnswerWaitAfterAWrite, AnAnswerWithinTheLimitCostsNoDrain) {
  Rig rig;
  rig.line().responder = [](FakeLine& l, const std::vector<uint8_t>&) { l.Send({0x11}, 5); };
  ASSERT_TRUE(WriteByte(rig.s(), kBootSync));
  EXPECT_FALSE(WaitAnswer(rig.s(), kSyncAnswerSeconds, kBootSync));
  EXPECT_EQ(rig.line().drainCalls, 0);
  // The answer came after the byte had crossed the wire (1.04 ms) and 5 ms.
  EXPECT_EQ(rig.clock().TickMs() - rig.line().writes[0].tick, 7u);
}

TEST(AnswerWaitAfterAWrite, PollAnswerCountsItsWholeSecondsFromWhenTheBytesLeft) {
  Rig rig;
  const uint32_t at = rig.WriteLong();
  // Within the block limit counted from the last byte (5 s), not from the write.
  rig.line().SendAt(at + kLongWireMs + kBlockAnswerSeconds * 1000 - 100, kAnswerDone);
  PollOutcome r = PollAnswer(rig.s(), kBlockAnswerSeconds);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.answer, kAnswerDone);

  Rig silent;
  const uint32_t from = silent.WriteLong();
  r = PollAnswer(silent.s(), kBlockAnswerSeconds);
  EXPECT_TRUE(r.timedOut);
  // Whole seconds: more than the limit after the wire, at most one more.
  const uint32_t waited = silent.clock().TickMs() - from;
  EXPECT_GT(waited, kLongWireMs + kBlockAnswerSeconds * 1000u);
  EXPECT_LE(waited, kLongWireMs + (kBlockAnswerSeconds + 1) * 1000u + 160u);
}

TEST(AnswerWaitAfterAWrite, ARateChangeWaitsForTheQueueAtTheOldRate) {
  Rig rig;
  const uint32_t at = rig.WriteLong();
  ASSERT_EQ(rig.s().link.SetBaudRate(19200), 0);
  EXPECT_EQ(rig.clock().TickMs() - at, kLongWireMs);
  // Nothing is queued now: the next write goes out at the new rate at once.
  ASSERT_TRUE(WriteByte(rig.s(), kCmdRateCheck));
  EXPECT_EQ(rig.line().writes.back().rate, 19200);
  const uint32_t before = rig.clock().TickMs();
  uint32_t left = 0;
  ASSERT_TRUE(rig.s().link.Drain(&left));
  EXPECT_EQ(left, before + 1);  // 10 bits at 19200: within the next millisecond
  EXPECT_EQ(rig.clock().TickMs(), before + 1);
}

}  // namespace
}  // namespace flash::test
