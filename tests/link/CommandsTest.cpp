// The control program's commands: frames, answers and their clock rules.
#include <gtest/gtest.h>

#include <cstring>

#include "base/ProgressDialog.h"
#include "base/Session.h"
#include "link/Primitives.h"
#include "link/SerialLink.h"
#include "support/LinkRig.h"

namespace flash::test {
namespace {

struct Rig : LinkRig {
  Rig() { EXPECT_EQ(s().link.OpenPort(1, 115200), 0); }
  uint64_t Elapsed() const { return t->clock.TotalAdvancedMs(); }
  ProgressDialog& OpenDialog(int style) {
    state().progressDialog = std::make_unique<ProgressDialog>(style);
    EXPECT_TRUE(state().progressDialog->Open(ui()));
    return *state().progressDialog;
  }
};

TEST(BlockCrc, MatchesTheXmodemCheckValueAndClosesToZero) {
  const char* check = "123456789";
  EXPECT_EQ(BlockCrc(reinterpret_cast<const uint8_t*>(check), 9), 0x31C3);
  EXPECT_EQ(BlockCrc(nullptr, 0), 0);
  std::vector<uint8_t> block(kBlockWithCrc);
  for (std::size_t i = 0; i < kBlockSize; ++i) block[i] = static_cast<uint8_t>(i * 7 + 3);
  uint16_t crc = BlockCrc(block.data(), kBlockSize);
  block[512] = static_cast<uint8_t>(crc >> 8);  // high byte first
  block[513] = static_cast<uint8_t>(crc);
  EXPECT_EQ(BlockCrc(block.data(), kBlockWithCrc), 0);
  block[512] += 1;  // what the CRC test switch does
  EXPECT_NE(BlockCrc(block.data(), kBlockWithCrc), 0);
}

TEST(PollAnswer, LimitOfFiveEndsWhenTheClockHasAdvancedSixWholeSeconds) {
  for (int startMs : {0, 999}) {
    Rig rig;
    rig.clock().SetWallMs(1'700'000'000'000 + startMs);
    PollOutcome r = PollAnswer(rig.s(), 5);
    EXPECT_TRUE(r.timedOut);
    const int64_t moved = rig.s().clock.Now().seconds - 1'700'000'000;
    EXPECT_EQ(moved, 6) << "start at ." << startMs;
    EXPECT_LT(rig.Elapsed(), 6000u + 160u);
  }
}

TEST(PollAnswer, BusyBytesKeepWaitingAndAnyOtherByteEndsIt) {
  Rig rig;
  rig.line().Send({0x30, 0x00, 0x30, 0x34, 0x31}, 10, 100);
  PollOutcome r = PollAnswer(rig.s(), 5);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.answer, 0x34);
}

TEST(PollAnswer, ReportsEachNewWholeSecond) {
  Rig rig;
  rig.line().Send({0x31}, 3500);
  std::vector<int> seconds;
  PollOutcome r = PollAnswer(rig.s(), 5, false, [&](int e) { seconds.push_back(e); });
  EXPECT_EQ(r.answer, 0x31);
  EXPECT_EQ(seconds, (std::vector<int>{1, 2, 3}));
}

TEST(BlockCommand, SendsCommandAndAddressLeastSignificantFirst) {
  struct Case {
    bool read;
    uint8_t command;
  };
  for (Case c : {Case{true, 0x28}, Case{false, 0x08}}) {
    Rig rig;
    rig.line().responder = [](FakeLine& l, const std::vector<uint8_t>&) {
      if (l.writeCalls == 5) l.Send({0x31}, 20);
    };
    EXPECT_EQ(BlockCommand(rig.s(), 0x00012A00, c.read).outcome, CommandOutcome::Done);
    EXPECT_EQ(rig.line().Written(), (std::vector<uint8_t>{c.command, 0x00, 0x2A, 0x01, 0x00}));
  }
}

TEST(BlockCommand, OutcomeCodes) {
  {
    Rig rig;  // silence: a time-out after six whole seconds
    EXPECT_EQ(BlockCommand(rig.s(), 0, true).outcome, CommandOutcome::TimedOut);
    EXPECT_EQ(rig.state().lastReportId, 0);  // the caller reports the time-out
  }
  {
    Rig rig;  // a refusal byte comes back as it is
    rig.line().Send({0x30, 0x35}, 100, 100);
    const CommandResult r = BlockCommand(rig.s(), 0, false);
    EXPECT_EQ(r.outcome, CommandOutcome::Refused);
    EXPECT_EQ(r.answer, 0x35);
  }
  {
    Rig rig;
    rig.line().failWriteCall = 3;
    EXPECT_EQ(BlockCommand(rig.s(), 0, false).outcome, CommandOutcome::Failed);
    EXPECT_EQ(rig.state().lastReportId, 216);
  }
  {
    Rig rig;
    rig.line().hangUpAt = rig.clock().TickMs() + 1000;
    EXPECT_EQ(BlockCommand(rig.s(), 0, true).outcome, CommandOutcome::Failed);
    EXPECT_EQ(rig.state().lastReportId, 218);
  }
}

TEST(BlockCommand, CancelDuringTheWaitEndsItAtOnce) {
  Rig rig;
  rig.ui().pressOnPump = {3};
  rig.OpenDialog(14);
  EXPECT_EQ(BlockCommand(rig.s(), 0, true).outcome, CommandOutcome::Cancelled);
  EXPECT_LT(rig.Elapsed(), 1000u);
}

TEST(BlockCommand, CancelIsNotLookedAtWithoutDialogs) {
  Rig rig;
  rig.ui().pressOnPump = {1};
  rig.OpenDialog(14);
  rig.state().showDialogs = false;
  rig.line().Send({0x31}, 700);
  EXPECT_EQ(BlockCommand(rig.s(), 0, true).outcome, CommandOutcome::Done);
}

TEST(EraseCommand, BusyForTwentyFiveSecondsThenDone) {
  Rig rig;
  rig.state().regionEnds[0] = 0x000FFFFF;
  ProgressDialog& d = rig.OpenDialog(13);
  std::vector<uint8_t> busy(250, 0x30);
  rig.line().Send(busy, 50, 100);
  rig.line().SendAt(rig.clock().TickMs() + 25'050, 0x31);
  EXPECT_EQ(EraseCommand(rig.s()).outcome, CommandOutcome::Done);
  EXPECT_EQ(rig.line().Written(), (std::vector<uint8_t>{0x38, 0xFF, 0xFF, 0x0F, 0x00}));
  EXPECT_EQ(d.Style(), 8);
  EXPECT_EQ(d.Upper(), 30);
  EXPECT_EQ(d.Position(), 30);
  auto& calls = rig.ui().progress.back()->calls;
  EXPECT_NE(std::find(calls.begin(), calls.end(), "caption:25 / 30"), calls.end());
  EXPECT_EQ(std::find(calls.begin(), calls.end(), "caption:26 / 30"), calls.end());
}

TEST(EraseCommand, NoAnswerTimesOutAfterThirtyOneWholeSeconds) {
  Rig rig;
  EXPECT_EQ(EraseCommand(rig.s()).outcome, CommandOutcome::TimedOut);
  EXPECT_EQ(rig.s().clock.Now().seconds - 1'700'000'000, 31);
  EXPECT_EQ(rig.state().lastReportId, 0);
}

TEST(EraseCommand, RefusalLeavesTheDetailForTheCaller) {
  Rig rig;
  rig.line().Send({0x34}, 500);
  const CommandResult r = EraseCommand(rig.s());
  EXPECT_EQ(r.outcome, CommandOutcome::Refused);
  EXPECT_EQ(r.answer, 0x34);
  EXPECT_EQ(rig.state().errorDetail, "ERASE ERROR MCU : 34H");
}

TEST(ReadCrData, FillsBothGroupsInTheOrderReceived) {
  Rig rig;
  rig.line().responder = [](FakeLine& l, const std::vector<uint8_t>&) {
    if (l.writeCalls == 5) l.Send({0x00, 0x30, 1, 2, 3, 4, 5, 6, 7, 8, 0x00, 0x31}, 30, 2);
  };
  EXPECT_EQ(ReadCrData(rig.s()), CrReadResult::Ok);
  EXPECT_EQ(rig.line().Written(), (std::vector<uint8_t>{0x39, 0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(rig.state().statusGroup1, (std::array<uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(rig.state().statusGroup2, (std::array<uint8_t, 4>{5, 6, 7, 8}));
}

TEST(ReadCrData, Failures) {
  struct Case {
    const char* name;
    std::vector<uint8_t> answer;
    CrReadResult result;
    int reportId;
    uint64_t minWaitMs;
  };
  const Case cases[] = {
      {"a '1' instead of '0' waits out the five seconds", {0x31}, CrReadResult::NoDataMark, 203, 5000},
      {"silence", {}, CrReadResult::NoDataMark, 203, 5000},
      {"fewer than eight data bytes", {0x30, 1, 2, 3, 4, 5}, CrReadResult::DataFailed, 218, 0},
      {"no closing byte", {0x30, 1, 2, 3, 4, 5, 6, 7, 8, 0x30}, CrReadResult::NoClosing, 203, 5000},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.line().Send(c.answer, 40, 1);
    EXPECT_EQ(ReadCrData(rig.s()), c.result) << c.name;
    EXPECT_EQ(rig.state().lastReportId, c.reportId) << c.name;
    EXPECT_GE(rig.Elapsed(), c.minWaitMs) << c.name;
    EXPECT_LT(rig.Elapsed(), 7000u) << c.name;
  }
}

TEST(SetCrData, ChoosesTheWordToStore) {
  using W = std::array<uint8_t, 4>;
  struct Case {
    W group1, group2;
    W sent;
  };
  const W ff{0xFF, 0xFF, 0xFF, 0xFF};
  const Case cases[] = {
      {{0x12, 0x34, 0x56, 0x78}, ff, {0x12, 0x34, 0x56, 0x78}},
      {ff, ff, ff},
      {{0x12, 0x34, 0x56, 0x78}, {0xAA, 0xBB, 0xCC, 0xDD}, {0xAA, 0xBB, 0xCC, 0xDD}},
      {ff, {0xFF, 0xFF, 0xFF, 0xFE}, {0xFF, 0xFF, 0xFF, 0xFE}},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.state().statusGroup1 = c.group1;
    rig.state().statusGroup2 = c.group2;
    rig.line().Send({0x31}, 100);
    EXPECT_EQ(SetCrData(rig.s()).outcome, CommandOutcome::Done);
    EXPECT_EQ(rig.line().Written(), (std::vector<uint8_t>{0x3A, c.sent[0], c.sent[1], c.sent[2], c.sent[3]}));
  }
}

TEST(SetCrData, RefusalAndSilence) {
  {
    Rig rig;
    rig.line().Send({0x30, 0x36}, 100, 100);
    const CommandResult r = SetCrData(rig.s());
    EXPECT_EQ(r.outcome, CommandOutcome::Refused);
    EXPECT_EQ(r.answer, 0x36);
    EXPECT_EQ(rig.state().lastReportId, 213);
  }
  {
    Rig rig;
    EXPECT_EQ(SetCrData(rig.s()).outcome, CommandOutcome::Failed);
    EXPECT_EQ(rig.state().lastReportId, 203);
  }
}

TEST(BlankCheckFrame, CarriesStartAndEndPlusOne) {
  Rig rig;
  EXPECT_TRUE(SendBlankCheckFrame(rig.s(), 0, 0x1FFFF));
  EXPECT_EQ(rig.line().Written(),
            (std::vector<uint8_t>{0x48, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00}));
}

}  // namespace
}  // namespace flash::test
