// Program & Verify and Read & Compare against the simulated board, in fake time.
#include <gtest/gtest.h>

#include "base/ProgressDialog.h"
#include "image/HexLoader.h"
#include "ops/CommandHandlers.h"
#include "ops/Engines.h"
#include "support/BoardRig.h"

namespace flash {
namespace {

using test::BoardRig;
using test::SRecords;

std::vector<uint8_t> Bytes(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return v;
}

// A file over two regions: 1.5 blocks at 0x100 and the last 16 bytes of region 3.
std::string TwoPartFile() {
  return SRecords(0x100, Bytes(768, 1)) + SRecords(0x200FF0, Bytes(16, 9));
}

TEST(Program, WritesEveryNonBlankBlockAndVerifies) {
  BoardRig r;
  r.dir().Write("TIMETEST.TXT", "");
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  OnProgramVerify(r.s());
  EXPECT_EQ(r.state().lastReportId, 303);
  // Blocks 0 and 1 of region 1 and the last block of region 3; blank blocks cost nothing.
  EXPECT_EQ(r.board().Stats().blocksProgrammed, 3);
  auto want = Bytes(768, 1);
  const auto& got = r.board().Flash();
  for (uint32_t i = 0; i < want.size(); ++i) ASSERT_EQ(got.Read(0x100 + i), want[i]) << i;
  EXPECT_EQ(got.Read(0x200FFF), Bytes(16, 9)[15]);
  EXPECT_EQ(got.Read(0xFF), 0xFF);
  auto rec = r.ui().progress.back();
  EXPECT_EQ(rec->upper, BlockCount(r.s()));
  EXPECT_EQ(rec->position, BlockCount(r.s()));
  EXPECT_NE(r.dir().Read("TIMETEST.TXT").find("PROGRAM="), std::string::npos);
}

TEST(Program, BlockCountRoundsUpPerRegion) {
  BoardRig r({}, "[c]\r\nDownloadFile=ops.bin\r\nLoadAddress=0\r\nStartAddress=0,2000\r\n"
                 "EndAddress=1000,2001\r\nFlashSize=1\r\nClock=4\r\nBaud=9600\r\n");
  EXPECT_EQ(BlockCount(r.s()), 9 + 1);  // 4097 bytes give 9 blocks; 2 bytes give 1
  // Regions the listing would refuse, set by hand: counted without wrapping.
  r.state().regionStarts[0] = 0;
  r.state().regionEnds[0] = 0xFFFFFFFF;
  r.state().regionStarts[1] = 0xFFFFFFFF;
  r.state().regionEnds[1] = 0;
  EXPECT_EQ(BlockCount(r.s()), 1 << 23);
}

TEST(Program, AllBlankImageSendsNothingAndSucceeds) {
  BoardRig r;
  r.UseHexFile("blank.mhx", SRecords(0x10, std::vector<uint8_t>(16, 0xFF)));
  ASSERT_TRUE(r.Download());
  OnProgramVerify(r.s());
  EXPECT_EQ(r.state().lastReportId, 303);
  EXPECT_EQ(r.board().Stats().programAttempts, 0);
}

TEST(Program, MissingHexFileIsReportedBeforeAnything) {
  BoardRig r;
  r.state().hexFilePath = r.dir().File("nope.mhx");
  OnProgramVerify(r.s());
  EXPECT_EQ(r.state().lastReportId, 401);
  EXPECT_EQ(r.state().lastReportText, "ERROR !!    \r\n No.101 Please set \"hex file\"");
  EXPECT_TRUE(r.ui().progress.empty());
  EXPECT_TRUE(r.line().events.empty());
}

TEST(Program, VerifyErrorShowsAddressFlashAndFileValues) {
  BoardRig r;
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  sim::Faults f;
  f.verifyErrorAt = 0x102;
  r.board().SetFaults(f);
  OnProgramVerify(r.s());
  EXPECT_EQ(r.state().lastReportId, 214);
  const std::string& t = r.state().lastReportText;
  EXPECT_EQ(t.rfind("ERROR !!    \r\n No.013 Program error\r\n ErrorAddress : 0x", 0), 0u) << t;
  EXPECT_NE(t.find("\r\n Flash      : "), std::string::npos) << t;
  EXPECT_NE(t.find("\r\n HexFile   : "), std::string::npos) << t;
  EXPECT_FALSE(r.state().controlProgramRunning);
}

TEST(Program, TimingLimitOverReplacesTheValues) {
  BoardRig r;
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  sim::Faults f;
  f.verifyErrorAt = 0x102;
  f.timingLimitOver = true;
  r.board().SetFaults(f);
  OnProgramVerify(r.s());
  const std::string& t = r.state().lastReportText;
  EXPECT_EQ(t.rfind("ERROR !!    Timing Limit Over\r\n No.013 Program error\r\n ErrorAddress : ", 0),
            0u)
      << t;
  EXPECT_EQ(t.find("Flash      :"), std::string::npos);
  EXPECT_EQ(t.find("HexFile   :"), std::string::npos);
}

TEST(Program, CrcErrorRetriedOnYesCancelledOnNo) {
  {
    BoardRig r;
    r.UseHexFile("app.mhx", TwoPartFile());
    ASSERT_TRUE(r.Download());
    sim::Faults f;
    f.crcErrorBlock = 2;
    r.board().SetFaults(f);
    r.ui().answers = {BoxAnswer::Yes};
    OnProgramVerify(r.s());
    EXPECT_EQ(r.state().lastReportId, 303);
    ASSERT_EQ(r.ui().boxes.size(), 1u);
    EXPECT_EQ(r.ui().boxes[0].text, "CRC error detected in 0x200\nretry?");
    EXPECT_EQ(r.ui().boxes[0].caption, "crc checking");
    EXPECT_EQ(r.ui().boxes[0].owner, BoxOwner::ProgressDialog);
    EXPECT_EQ(r.board().Stats().programAttempts, 4);
  }
  {
    BoardRig r;
    r.UseHexFile("app.mhx", TwoPartFile());
    ASSERT_TRUE(r.Download());
    r.state().lastReportId = 0;
    r.dir().Write("MESSFILE.TXT", "before");
    sim::Faults f;
    f.crcErrorBlock = 1;
    r.board().SetFaults(f);
    r.ui().answers = {BoxAnswer::No};
    OnProgramVerify(r.s());
    EXPECT_EQ(r.state().lastReportId, 0);  // a cancel reports nothing
    EXPECT_EQ(r.dir().Read("MESSFILE.TXT"), "before");
    auto rec = r.ui().progress.back();
    EXPECT_EQ(rec->status, "It was canceled");
    EXPECT_EQ(rec->buttonText, "OK");
    EXPECT_TRUE(r.state().controlProgramRunning);
  }
}

TEST(Program, CrcErrorWithoutDialogsEndsSilently) {
  BoardRig r({"app.mhx", "no_dialog", "no_reset"});
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  sim::Faults f;
  f.crcErrorBlock = 1;
  r.board().SetFaults(f);
  r.state().lastReportId = 0;
  ASSERT_TRUE(LoadHexFile(r.s(), true, 0xFF));
  EXPECT_EQ(ProgramFlash(r.s(), true), 1);
  EXPECT_TRUE(r.ui().boxes.empty());
  EXPECT_EQ(r.state().lastReportId, 0);
}

TEST(Program, CancelBetweenBlocks) {
  BoardRig r;
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  r.ui().pressOnPump = {3};
  OnProgramVerify(r.s());
  EXPECT_LT(r.board().Stats().blocksProgrammed, 3);
  EXPECT_EQ(r.ui().progress.back()->status, "It was canceled");
  EXPECT_NE(std::find(r.line().events.begin(), r.line().events.end(), "purge tx rx"),
            r.line().events.end());
}

TEST(Program, NoAnswerAndRefusal) {
  struct Case {
    sim::Faults faults;
    int id;
  };
  sim::Faults silent;
  silent.silentCommands.insert(0x08);
  sim::Faults refused;
  refused.wrongAnswers[0x08] = 0x32;
  for (const Case& c : {Case{silent, 203}, Case{refused, 214}}) {
    BoardRig r;
    r.UseHexFile("app.mhx", TwoPartFile());
    ASSERT_TRUE(r.Download());
    r.board().SetFaults(c.faults);
    OnProgramVerify(r.s());
    EXPECT_EQ(r.state().lastReportId, c.id);
    EXPECT_FALSE(r.state().controlProgramRunning);
    EXPECT_FALSE(r.line().open);
  }
}

TEST(Compare, IdenticalFlash) {
  BoardRig r;
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  OnProgramVerify(r.s());
  ASSERT_EQ(r.state().lastReportId, 303);
  OnReadCompare(r.s());
  EXPECT_EQ(r.state().lastReportId, 305);
  EXPECT_EQ(r.board().Stats().blocksRead, BlockCount(r.s()));
  EXPECT_EQ(r.ui().progress.back()->status.rfind("The flash and the hex file are identical", 0), 0u);
}

TEST(Compare, DifferenceInTheLastWordOfABlock) {
  BoardRig r;
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  OnProgramVerify(r.s());
  r.board().Flash().Poke(0x3FD, 0x00);  // block 0x200, offset 508 + 1
  OnReadCompare(r.s());
  EXPECT_EQ(r.state().lastReportId, 566);
  const std::string& t = r.state().lastReportText;
  EXPECT_NE(t.find("\r\n ErrorAddress : 0x000003FC"), std::string::npos) << t;
  EXPECT_NE(t.find("\r\n Flash      : 0x"), std::string::npos);
  EXPECT_NE(t.find("\r\n HexFile   : 0x"), std::string::npos);
  EXPECT_TRUE(r.state().controlProgramRunning);
}

TEST(Compare, DamagedBlocksAreReadAgain) {
  BoardRig r;
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  OnProgramVerify(r.s());
  sim::Faults f;
  f.crcErrorBlock = 2;
  r.board().SetFaults(f);
  r.ui().answers = {BoxAnswer::Yes};
  OnReadCompare(r.s());
  EXPECT_EQ(r.state().lastReportId, 305);
  ASSERT_EQ(r.ui().boxes.size(), 1u);
  EXPECT_EQ(r.ui().boxes[0].text, "CRC error detected in 0x200\nretry?");
  EXPECT_EQ(r.board().Stats().blocksRead, BlockCount(r.s()) + 1);
}

TEST(Compare, LineErrorsCauseASilentReRead) {
  BoardRig r;
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  OnProgramVerify(r.s());
  r.line().lineErrors = {0, kLineErrorFrame};
  OnReadCompare(r.s());
  EXPECT_EQ(r.state().lastReportId, 305);
  EXPECT_TRUE(r.ui().boxes.empty());
  EXPECT_EQ(r.board().Stats().blocksRead, BlockCount(r.s()) + 1);
}

TEST(Compare, RefusedReadCommandAndCancel) {
  {
    BoardRig r;
    r.UseHexFile("app.mhx", TwoPartFile());
    ASSERT_TRUE(r.Download());
    sim::Faults f;
    f.wrongAnswers[0x28] = 0x32;
    r.board().SetFaults(f);
    OnReadCompare(r.s());
    EXPECT_EQ(r.state().lastReportId, 213);
    EXPECT_FALSE(r.state().controlProgramRunning);
  }
  {
    BoardRig r;
    r.UseHexFile("app.mhx", TwoPartFile());
    ASSERT_TRUE(r.Download());
    r.state().lastReportId = 0;
    r.ui().pressOnPump = {4};
    OnReadCompare(r.s());
    EXPECT_EQ(r.state().lastReportId, 0);  // a cancel reports nothing
    EXPECT_LT(r.board().Stats().blocksRead, BlockCount(r.s()));
    auto rec = r.ui().progress.back();
    EXPECT_EQ(rec->status, "It was canceled");
    EXPECT_EQ(rec->buttonText, "OK");
    EXPECT_TRUE(r.state().controlProgramRunning);
  }
}

TEST(Compare, CrcTestSwitchExercisesTheRetry) {
  BoardRig r;
  r.UseHexFile("app.mhx", TwoPartFile());
  ASSERT_TRUE(r.Download());
  OnProgramVerify(r.s());
  r.dir().Write("CRCTEST.TXT", "");
  r.state().crcTestRandom = 1;
  // Answer Yes to every question the switch raises.
  r.ui().answers.assign(64, BoxAnswer::Yes);
  for (int i = 0; i < 20; ++i) OnReadCompare(r.s());
  EXPECT_EQ(r.state().lastReportId, 305) << r.state().lastReportText;
  EXPECT_FALSE(r.ui().boxes.empty());  // 20 x 12 blocks: about two hits
}

}  // namespace
}  // namespace flash
