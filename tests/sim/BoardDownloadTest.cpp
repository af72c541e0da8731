// The boot ROM and the start of the control program, as the host drives them.
#include <gtest/gtest.h>

#include "sim/BoardTestUtil.h"
#include "sim/ControlProgram.h"
#include "sim/Wire.h"

namespace flash::sim::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Patched(Bytes program, uint8_t crystal) {
  program[kCrystalIndexOffset] = crystal;
  return program;
}

struct StartCase {
  const char* name;
  std::size_t boardCrystal;
  const char* fileCrystal;  // what the file was built for ("" for every crystal)
  uint8_t byte7;
  uint32_t loadAddress;
  const char* device;
  bool runs;
  int workingRate;  // the rate the host then uses
};

class StartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartTest, RunsOnlyTheRightProgramAtTheRateByte7Selects) {
  const StartCase& c = GetParam();
  BoardConfig config = TwoRegionConfig();
  config.crystal = c.boardCrystal;
  Board board(config);
  Host host{board, config.bootRates[c.boardCrystal]};
  auto answers = Download(host, Patched(MakeControlProgram(c.device, c.fileCrystal), c.byte7),
                          c.loadAddress, c.workingRate);
  // The boot ROM answers every frame whatever the program holds.
  EXPECT_EQ(answers[0], Bytes{kBootSyncAnswer});
  EXPECT_EQ(answers[1], Bytes{kBootDataAnswer});
  EXPECT_EQ(answers[2], Bytes{kBootDataAnswer});
  EXPECT_EQ(answers[3], Bytes{kBootSyncAnswer});
  EXPECT_EQ(answers[4], Bytes{kDone});
  if (c.runs) {
    EXPECT_EQ(board.Mode(), BoardMode::ControlProgram);
    EXPECT_EQ(board.Rate(), c.workingRate);
    EXPECT_EQ(answers[5], Bytes{kDone});
    EXPECT_EQ(board.LoadedProgram()[kCrystalIndexOffset], c.byte7);
  } else {
    EXPECT_EQ(board.Mode(), BoardMode::Hung);
    EXPECT_FALSE(board.HangReason().empty());
    EXPECT_TRUE(answers[5].empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, StartTest,
    ::testing::Values(
        StartCase{"GenericFileCrystal0", 0, "", 0, 0x1000, "DEMO_A", true, 19200},
        StartCase{"GenericFileCrystal1", 1, "", 1, 0x1000, "DEMO_A", true, 38400},
        StartCase{"CrystalFileMatches", 1, "8MHz", 1, 0x1000, "demo_a", true, 38400},
        StartCase{"CrystalFileButByte7Other", 1, "8MHz", 0, 0x1000, "DEMO_A", false, 19200},
        StartCase{"Byte7NotPatched", 0, "", kUnpatchedCrystal, 0x1000, "DEMO_A", false, 19200},
        StartCase{"OtherDevice", 0, "", 0, 0x1000, "DEMO_B", false, 19200},
        StartCase{"WrongLoadAddress", 0, "", 0, 0x2000, "DEMO_A", false, 19200}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(BoardBoot, Baud2GivesTheWorkingRateUndoubled) {
  BoardConfig config = TwoRegionConfig();
  config.workingRates = {57600, 115200};
  config.crystal = 1;
  Board board(config);
  Host host{board, 19200};
  auto answers = Download(host, Patched(MakeControlProgram("DEMO_A", ""), 1), 0x1000, 115200);
  EXPECT_EQ(answers[5], Bytes{kDone});
  EXPECT_EQ(board.Rate(), 115200);
}

TEST(BoardBoot, RefusesBadFramesAndSums) {
  Board board(TwoRegionConfig());
  Host host{board, 9600};
  ASSERT_EQ(host.Send({kBootSync}), Bytes{kBootSyncAnswer});
  Bytes frame = BootFrame(kBootData, 0x1000, 100);
  frame[9] ^= 1;
  EXPECT_EQ(host.Send(frame), Bytes{kBootNak});
  EXPECT_EQ(host.Send(BootFrame(kBootData, 0x1000, 0)), Bytes{kBootNak});
  EXPECT_EQ(host.Send(BootFrame(kBootData, 0x1000, kMaxControlProgram + 1)), Bytes{kBootNak});
  EXPECT_EQ(host.Send(BootFrame(0x77, 0, 0)), Bytes{kBootNak});
  EXPECT_EQ(host.Send(BootFrame(kBootStart, 0, 0)), Bytes{kBootNak}) << "nothing loaded yet";
  // A block whose sum is off by one is refused and cannot be started.
  Bytes program = Patched(MakeControlProgram("DEMO_A", ""), 0);
  ASSERT_EQ(host.Send(BootFrame(kBootData, 0x1000, static_cast<uint32_t>(program.size()))),
            Bytes{kBootDataAnswer});
  uint8_t sum = 0;
  for (uint8_t b : program) sum = static_cast<uint8_t>(sum + b);
  program.push_back(static_cast<uint8_t>(sum + 1));
  EXPECT_EQ(host.Send(program), Bytes{kBootNak});
  EXPECT_EQ(host.Send(BootFrame(kBootStart, 0, 0)), Bytes{kBootNak});
  EXPECT_EQ(board.Mode(), BoardMode::BootRom);
}

TEST(BoardBoot, IgnoresNoiseBeforeTheFirstSync) {
  Board board(TwoRegionConfig());
  Host host{board, 9600};
  EXPECT_TRUE(host.Send({0x00, 0x40, 0x55, 0xFF}).empty());
  EXPECT_EQ(host.Send({kBootSync}), Bytes{kBootSyncAnswer});
}

TEST(BoardBoot, HalfAFrameIsDroppedAfterAPause) {
  Board board(TwoRegionConfig());
  Host host{board, 9600};
  host.Send({kBootSync});
  Bytes frame = BootFrame(kBootData, 0x1000, 64);
  host.Send(Bytes(frame.begin(), frame.begin() + 4));
  host.Wait(kMessageGapUs + 1);
  EXPECT_EQ(host.Send(frame), Bytes{kBootDataAnswer});
}

TEST(BoardRate, HostAtTheWrongRateIsNotUnderstood) {
  Board board(TwoRegionConfig());
  Host host{board, 19200};  // the board's crystal gives 9600
  EXPECT_TRUE(host.Send({kBootSync}).empty());
  EXPECT_EQ(board.Stats().syncs, 0);
}

TEST(BoardRate, AnswersReachAHostAtTheWrongRateGarbled) {
  Board board(TwoRegionConfig());
  board.Receive(&kBootSync, 1, 9600, 0);
  Bytes seen = board.TakeDue(0, 4800);
  EXPECT_NE(seen, Bytes{kBootSyncAnswer});
}

TEST(BoardReset, HostAtTheBootRateResetsARunningProgramUnlessNeverReset) {
  for (bool neverReset : {false, true}) {
    BoardConfig config = TwoRegionConfig();
    config.faults.neverReset = neverReset;
    Board board(config);
    Host host{board, 9600};
    Download(host, Patched(MakeControlProgram("DEMO_A", ""), 0), 0x1000, 19200);
    ASSERT_EQ(board.Mode(), BoardMode::ControlProgram);
    host.rate = 9600;
    Bytes answer = host.Send({kBootSync});
    if (neverReset) {
      EXPECT_EQ(board.Mode(), BoardMode::ControlProgram);
      EXPECT_NE(answer, Bytes{kBootSyncAnswer});
    } else {
      EXPECT_EQ(board.Mode(), BoardMode::BootRom);
      EXPECT_EQ(answer, Bytes{kBootSyncAnswer});
    }
  }
}

TEST(BoardReset, SameRateForBootAndWorkStillResetsOnSync) {
  BoardConfig config = TwoRegionConfig();
  config.workingRates = {9600, 19200};
  Board board(config);
  Host host{board, 9600};
  Download(host, Patched(MakeControlProgram("DEMO_A", ""), 0), 0x1000, 9600);
  ASSERT_EQ(board.Mode(), BoardMode::ControlProgram);
  EXPECT_EQ(host.Send({kBootSync}), Bytes{kBootSyncAnswer});
  EXPECT_EQ(board.Mode(), BoardMode::BootRom);
}

TEST(BoardFaults, SilentAndWrongAnswersToBootFrames) {
  BoardConfig config = TwoRegionConfig();
  config.faults.wrongAnswers[kBootSync] = 0x12;
  config.faults.silentCommands.insert(kBootStart);
  Board board(config);
  Host host{board, 9600};
  auto answers = Download(host, Patched(MakeControlProgram("DEMO_A", ""), 0), 0x1000, 19200);
  EXPECT_EQ(answers[0], Bytes{0x12});
  EXPECT_TRUE(answers[4].empty());
  EXPECT_EQ(board.Mode(), BoardMode::BootRom) << "an unanswered start starts nothing";
}

TEST(BoardTiming, RealisticAnswersWaitForTheWire) {
  BoardConfig config = TwoRegionConfig();
  config.realisticTiming = true;
  Board board(config);
  Host host{board, 9600};
  const int64_t byteUs = ByteTimeUs(9600);
  // The sync crosses in one byte time, the answer in another.
  EXPECT_TRUE(host.Send({kBootSync}).empty());
  EXPECT_EQ(board.NextDueUs(), 2 * byteUs);
  EXPECT_TRUE(host.Wait(2 * byteUs - 1).empty());
  EXPECT_EQ(host.Wait(1), Bytes{kBootSyncAnswer});
  // A ten-byte frame sent at once is answered after all ten have crossed.
  const int64_t start = host.now;
  EXPECT_TRUE(host.Send(BootFrame(kBootData, 0x1000, 64)).empty());
  EXPECT_EQ(board.NextDueUs(), start + 11 * byteUs);
}

TEST(Crc16Xmodem, CheckValue) {
  const char* digits = "123456789";
  EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const uint8_t*>(digits), 9), 0x31C3);
}

}  // namespace
}  // namespace flash::sim::test
