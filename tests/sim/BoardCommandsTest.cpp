// The control program's commands over the flash model.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/BoardTestUtil.h"
#include "sim/ControlProgram.h"

namespace flash::sim::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWorking = 19200;

// A board whose control program runs, and the host talking to it.
struct Running {
  explicit Running(BoardConfig config = TwoRegionConfig()) : board(std::move(config)) {
    Bytes program = MakeControlProgram("DEMO_A", "");
    program[kCrystalIndexOffset] = 0;
    Download(host, program, 0x1000, kWorking);
  }
  Board board;
  Host host{board, 9600};
};

Bytes Block(uint8_t fill, bool goodCrc = true) {
  Bytes block(kDataBlock, fill);
  for (std::size_t i = 0; i < block.size(); i += 3) block[i] = static_cast<uint8_t>(fill & i);
  uint16_t crc = Crc16Xmodem(block.data(), kDataBlock);
  if (!goodCrc) crc = static_cast<uint16_t>(crc + 1);
  block.push_back(static_cast<uint8_t>(crc >> 8));
  block.push_back(static_cast<uint8_t>(crc));
  return block;
}

Bytes Be32(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(BoardProgram, ProgramsAVerifiedBlock) {
  Running r;
  ASSERT_EQ(r.host.Send(Command(kCmdProgram, {0x00100000})), Bytes{kDone});
  Bytes block = Block(0x3C);
  EXPECT_EQ(r.host.Send(block), Bytes{kDone});
  for (uint32_t i = 0; i < kDataBlock; ++i) ASSERT_EQ(r.board.Flash().Read(0x00100000 + i), block[i]);
  EXPECT_EQ(r.board.Stats().blocksProgrammed, 1);
}

TEST(BoardProgram, OnlyTheRegionPartOfALastBlockIsProgrammed) {
  BoardConfig config = TwoRegionConfig();
  config.regions[1].end = 0x00100013;  // 20 bytes
  Running r(config);
  r.host.Send(Command(kCmdProgram, {0x00100000}));
  EXPECT_EQ(r.host.Send(Block(0x00)), Bytes{kDone});
  EXPECT_EQ(r.board.Flash().Read(0x00100013), 0x00);
  EXPECT_EQ(r.board.Flash().Read(0x00100014), kErased) << "outside the flash";
}

TEST(BoardProgram, AnswersByWhatHappened) {
  struct Case {
    const char* name;
    uint8_t before;     // what the flash holds at 0x200 first
    bool goodCrc;
    int crcFaultBlock;
    std::optional<uint32_t> weakCell;
    bool timingLimit;
    Bytes answer;
  };
  Bytes block = Block(0x0F);
  const Case cases[] = {
      {"Programmed", kErased, true, 0, {}, false, {kDone}},
      {"CrcDamaged", kErased, false, 0, {}, false, {kCrcMismatch}},
      {"CrcFaultOnFirstBlock", kErased, true, 1, {}, false, {kCrcMismatch}},
      // The byte at 0x203 would need bits back to 1: half-word 0x202 is reported,
      // the file's two bytes, then what the flash holds.
      {"NeedsAnErase", 0x00, true, 0, {}, false,
       Cat({{kFailed}, Be32(0x202), {block[2], block[3]}, {block[2], 0x00}, {kDone}})},
      {"WeakCell", kErased, true, 0, 0x211, false,
       Cat({{kFailed}, Be32(0x210), {block[0x10], block[0x11]},
            {block[0x10], static_cast<uint8_t>(block[0x11] ^ 1)}, {kDone}})},
      {"TimingLimitOver", kErased, true, 0, 0x211, true,
       Cat({{kFailed}, Be32(0x210), {0xFF, 0xFF, 0xFF, 0xFF}, {kDone}})},
  };
  for (const Case& c : cases) {
    BoardConfig config = TwoRegionConfig();
    config.faults.crcErrorBlock = c.crcFaultBlock;
    config.faults.verifyErrorAt = c.weakCell;
    config.faults.timingLimitOver = c.timingLimit;
    Running r(config);
    r.board.Flash().Poke(0x203, c.before);
    ASSERT_EQ(r.host.Send(Command(kCmdProgram, {0x200})), Bytes{kDone}) << c.name;
    Bytes data = c.goodCrc ? block : Block(0x0F, false);
    EXPECT_EQ(r.host.Send(data), c.answer) << c.name;
  }
}

TEST(BoardProgram, CrcFaultHitsBlockNOnlyOnce) {
  BoardConfig config = TwoRegionConfig();
  config.faults.crcErrorBlock = 2;
  Running r(config);
  Bytes answers;
  for (int attempt = 0; attempt < 3; ++attempt) {
    r.host.Send(Command(kCmdProgram, {0x400}));
    Bytes a = r.host.Send(Block(0xF0));
    answers.insert(answers.end(), a.begin(), a.end());
  }
  EXPECT_EQ(answers, (Bytes{kDone, kCrcMismatch, kDone}));
}

TEST(BoardProgram, AddressOutsideTheFlashIsRefused) {
  Running r;
  EXPECT_EQ(r.host.Send(Command(kCmdProgram, {0x00050000})), Bytes{kBadAddress});
  EXPECT_EQ(r.host.Send(Command(kCmdRead, {0xFFFFFE00})), Bytes{kBadAddress});
}

TEST(BoardRead, SendsTheBlockWithItsCrcHighByteFirst) {
  Running r;
  r.board.Flash().FillPattern();
  Bytes answer = r.host.Send(Command(kCmdRead, {0x00100E00}));
  ASSERT_EQ(answer.size(), 1 + kDataBlock + 2 + 1);
  EXPECT_EQ(answer.front(), kDone);
  EXPECT_EQ(answer.back(), kDone);
  Bytes withCrc(answer.begin() + 1, answer.end() - 1);
  EXPECT_EQ(Crc16Xmodem(withCrc.data(), withCrc.size()), 0) << "block and CRC check to zero";
  EXPECT_EQ(withCrc[0], PatternByte(0x00100E00));
  EXPECT_EQ(withCrc[511], PatternByte(0x00100FFF));
}

TEST(BoardRead, FaultsDamageTheNthBlockOnly) {
  for (bool lineError : {false, true}) {
    BoardConfig config = TwoRegionConfig();
    (lineError ? config.faults.lineErrorBlock : config.faults.crcErrorBlock) = 2;
    Running r(config);
    std::vector<bool> intact;
    for (int i = 0; i < 3; ++i) {
      Bytes answer = r.host.Send(Command(kCmdRead, {0}));
      Bytes withCrc(answer.begin() + 1, answer.end() - 1);
      intact.push_back(Crc16Xmodem(withCrc.data(), withCrc.size()) == 0);
    }
    EXPECT_EQ(intact, (std::vector<bool>{true, false, true})) << lineError;
  }
}

TEST(BoardErase, BusyThenDoneAndEverythingErased) {
  Running r;
  r.board.Flash().FillPattern();
  Bytes answer = r.host.Send(Command(kCmdErase, {0x0001FFFF}));
  EXPECT_EQ(answer, Bytes{kBusy});
  // Bytes sent while erasing are not heard.
  EXPECT_TRUE(r.host.Send({kCmdRateCheck}).empty());
  Bytes rest = r.host.Wait(999'999);
  EXPECT_EQ(rest, Bytes(3, kBusy)) << "one '0' every 250 ms";
  EXPECT_EQ(r.host.Wait(1), Bytes{kDone});
  EXPECT_FALSE(r.board.Flash().FirstNotBlank(0, 0xFFFFFFFF));
  EXPECT_EQ(r.board.Cr(), (std::array<uint8_t, 8>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(r.host.Send({kCmdRateCheck}), Bytes{kDone});
}

TEST(BoardErase, SilentEraseStaysBusy) {
  BoardConfig config = TwoRegionConfig();
  config.faults.silentCommands.insert(kCmdErase);
  Running r(config);
  r.board.Flash().FillPattern();
  EXPECT_TRUE(r.host.Send(Command(kCmdErase, {0x0001FFFF})).empty());
  EXPECT_TRUE(r.host.Wait(40'000'000).empty());
  EXPECT_TRUE(r.board.Flash().FirstNotBlank(0, 0xFFFFFFFF).has_value());
}

TEST(BoardBlankCheck, ReportsTheFirstWordThatIsNotBlank) {
  struct Case {
    const char* name;
    std::optional<uint32_t> stuck;  // --not-blank
    uint32_t start, end;
    Bytes answer;
  };
  const Case cases[] = {
      {"Blank", {}, 0, 0x1FFFF, {kDone}},
      {"StuckInRange", 0x0001234A, 0, 0x1FFFF,
       Cat({{kFailed}, Be32(0x00012348), {0xFF, 0xFF, 0x00, 0xFF}, {kDone}})},
      {"StuckInOtherRegion", 0x0001234A, 0x00100000, 0x00100FFF, {kDone}},
      {"NotAFlashRange", {}, 0x00050000, 0x00050FFF, {kBadAddress}},
  };
  for (const Case& c : cases) {
    BoardConfig config = TwoRegionConfig();
    config.eraseUs = 0;
    config.faults.notBlankAt = c.stuck;
    Running r(config);
    r.host.Send(Command(kCmdErase, {0x0001FFFF}));
    EXPECT_EQ(r.host.Send(Command(kCmdBlankCheck, {c.start, c.end + 1})), c.answer) << c.name;
  }
}

TEST(BoardBlankCheck, FrameBytesAsTheHostSendsThem) {
  Running r;
  r.board.Flash().Poke(0x1FFFF, 0x7E);
  Bytes frame{0x48, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00};
  EXPECT_EQ(r.host.Send(frame), Cat({{kFailed}, Be32(0x1FFFC), {0xFF, 0xFF, 0xFF, 0x7E}, {kDone}}));
}

TEST(BoardCr, ReadGivesBothWordsAndSetFillsTheFirstErasedOne) {
  BoardConfig config = TwoRegionConfig();
  config.cr = {0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFF};
  config.eraseUs = 0;
  Running r(config);
  EXPECT_EQ(r.host.Send({kCmdCrRead, 0x11, 0x22, 0x33, 0x44}),
            (Bytes{kBusy, 0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFF, kDone}));
  EXPECT_TRUE(r.host.Send({kCmdCrRead, 0x11, 0x22, 0x33, 0x45}).empty()) << "wrong key";
  EXPECT_EQ(r.host.Send({kCmdCrSet, 0xA1, 0xA2, 0xA3, 0xA4}), Bytes{kDone});
  EXPECT_EQ(r.board.Cr(), (std::array<uint8_t, 8>{0x12, 0x34, 0x56, 0x78, 0xA1, 0xA2, 0xA3, 0xA4}));
  EXPECT_EQ(r.host.Send({kCmdCrSet, 1, 2, 3, 4}), Bytes{kFailed}) << "both words in use";
  r.host.Send(Command(kCmdErase, {0x0001FFFF}));
  EXPECT_EQ(r.host.Send({kCmdCrSet, 0x12, 0x34, 0x56, 0x78}), Bytes{kDone});
  EXPECT_EQ(r.board.Cr(), (std::array<uint8_t, 8>{0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(BoardCommands, WrongAnswerFaultReplacesTheFirstByte) {
  BoardConfig config = TwoRegionConfig();
  config.faults.wrongAnswers[kCmdProgram] = 0x41;
  Running r(config);
  EXPECT_EQ(r.host.Send(Command(kCmdProgram, {0})), Bytes{0x41});
  // The board waits for no data after a refusal it did not mean.
  EXPECT_EQ(r.host.Send({kCmdRateCheck}), Bytes{kDone});
}

TEST(BoardRobustness, SurvivesAnyByteSequenceAndStillDownloadsAfterReset) {
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  const int rates[] = {9600, 19200, 38400, 4800, 0, 115200};
  for (int round = 0; round < 200; ++round) {
    BoardConfig config = TwoRegionConfig();
    config.eraseUs = 0;
    Board board(config);
    int64_t now = 0;
    for (int chunk = 0; chunk < 40; ++chunk) {
      Bytes data(next() % 700);
      for (uint8_t& b : data) {
        // Mostly command and frame bytes, so that deep states are reached.
        static constexpr uint8_t kLikely[] = {0x18, 0x00, 0x40, 0xE8, 0x08, 0x28, 0x38, 0x39, 0x3A, 0x48, 0x11, 0xFF};
        b = next() % 3 ? kLikely[next() % sizeof kLikely] : static_cast<uint8_t>(next());
      }
      int rate = rates[next() % 6];
      board.Receive(data.data(), data.size(), rate, now);
      now += static_cast<int64_t>(next() % 2'000'000);
      board.TakeDue(now, rates[next() % 6]);
    }
    board.Reset();
    Host host{board, 9600, now + 10'000'000};
    Bytes program = MakeControlProgram("DEMO_A", "");
    program[kCrystalIndexOffset] = 0;
    auto answers = Download(host, program, 0x1000, kWorking);
    ASSERT_EQ(answers[5], Bytes{kDone}) << "round " << round;
  }
}

}  // namespace
}  // namespace flash::sim::test
