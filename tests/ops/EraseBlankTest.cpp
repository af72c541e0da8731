// Erase, Blank Check and the blank probe against the simulated board, in fake time.
#include <gtest/gtest.h>

#include "base/ProgressDialog.h"
#include "ops/CommandHandlers.h"
#include "ops/Engines.h"
#include "support/BoardRig.h"

namespace flash {
namespace {

using test::BoardRig;

TEST(Erase, KeepsTheCrWordAndReportsSuccess) {
  BoardRig r;
  r.dir().Write("TIMETEST.TXT", "");
  ASSERT_TRUE(r.Download());
  r.board().Flash().FillPattern();
  r.board().Cr() = {0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFF};
  r.board().SetEraseUs(25'000'000);  // busy for 25 s, then done
  OnErase(r.s());
  EXPECT_EQ(r.state().lastReportId, 301);
  EXPECT_EQ(r.board().Flash().FirstNotBlank(0, 0x1FFF), std::nullopt);
  // statusGroup2 is all FF and statusGroup1 is not: the first word is written back.
  EXPECT_EQ(r.board().Cr()[0], 0x12);
  EXPECT_EQ(r.board().Cr()[3], 0x78);
  auto rec = r.ui().progress.back();
  EXPECT_EQ(rec->upper, 30);
  EXPECT_EQ(rec->position, 30);
  EXPECT_NE(r.dir().Read("TIMETEST.TXT").find("ERACE="), std::string::npos);
  EXPECT_EQ(r.dir().Read("MESSFILE.TXT"), "NG\r\nIt Erased a flash");
  EXPECT_FALSE(r.line().open);
}

TEST(Erase, NoAnswerIsATimeoutAfterThirtyOneSeconds) {
  BoardRig r;
  ASSERT_TRUE(r.Download());
  sim::Faults f;
  f.silentCommands.insert(0x38);
  r.board().SetFaults(f);
  const int64_t before = r.clock().Now().seconds;
  OnErase(r.s());
  EXPECT_EQ(r.state().lastReportId, 203);
  EXPECT_GE(r.clock().Now().seconds - before, 31);
  EXPECT_LE(r.clock().Now().seconds - before, 33);
  EXPECT_FALSE(r.state().controlProgramRunning);  // kind 3: download again
}

TEST(Erase, RefusedEraseAndCrFailures) {
  struct Case {
    uint8_t command;
    uint8_t answer;
    int id;
    const char* detail;
  } cases[] = {
      {0x38, 0x34, 219, "ERASE ERROR MCU : 34H"},
      {0x38, 0x37, 212, "ERASE ERROR MCU : 37H"},
      {0x3A, 0x34, 212, "CR SET ERROR MCU : 34H"},
  };
  for (const auto& c : cases) {
    BoardRig r;
    ASSERT_TRUE(r.Download());
    sim::Faults f;
    f.wrongAnswers[c.command] = c.answer;
    r.board().SetFaults(f);
    OnErase(r.s());
    EXPECT_EQ(r.state().lastReportId, c.id);
    EXPECT_NE(r.state().lastReportText.find(c.detail), std::string::npos)
        << r.state().lastReportText;
    EXPECT_FALSE(r.state().controlProgramRunning);
  }
}

TEST(Erase, ErasedCrWordReloadsTheControlProgramUnlessNoReset) {
  {
    BoardRig r;
    ASSERT_TRUE(r.Download());
    r.board().Cr() = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const int started = r.board().Stats().programsStarted;
    OnErase(r.s());
    EXPECT_EQ(r.state().lastReportId, 301);
    EXPECT_EQ(r.board().Stats().programsStarted, started + 1);
    // The reset prompt was asked before the second download.
    ASSERT_FALSE(r.ui().boxes.empty());
    EXPECT_EQ(r.ui().boxes.back().text,
              "Please reset the microcontroller on userboard.\nThen push OK button.");
  }
  {
    BoardRig r({"app.mhx", "no_dialog", "no_reset"});
    ASSERT_TRUE(r.Download());
    r.board().Cr() = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const int started = r.board().Stats().programsStarted;
    EXPECT_EQ(EraseFlash(r.s(), false), 0);
    EXPECT_EQ(r.board().Stats().programsStarted, started);
    EXPECT_EQ(r.board().Stats().crSets, 1);
  }
}

TEST(Erase, CancelledReloadEndsWithoutAMessage) {
  BoardRig r;
  ASSERT_TRUE(r.Download());
  r.board().Cr() = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  r.ui().answers = {BoxAnswer::Cancel};
  r.state().lastReportId = 0;
  EXPECT_EQ(EraseFlash(r.s(), false), 1);
  EXPECT_EQ(r.state().lastReportId, 0);
  EXPECT_FALSE(r.line().open);
}

TEST(BlankCheck, ThreeBlankRegionsOneMessage) {
  BoardRig r;
  ASSERT_TRUE(r.Download());
  OnBlankCheck(r.s());
  EXPECT_EQ(r.board().Stats().blankChecks, 3);
  EXPECT_EQ(r.state().lastReportId, 302);
  EXPECT_EQ(r.state().lastReportText, "A flash is Erased ");
  auto rec = r.ui().progress.back();
  EXPECT_EQ(rec->upper, 3);
  EXPECT_EQ(rec->position, 3);
  // Frame of the first region: 48, start, end + 1, least significant first.
  std::vector<uint8_t> w = r.line().Written();
  const std::vector<uint8_t> frame = {0x48, 0, 0, 0, 0, 0x00, 0x20, 0, 0};
  EXPECT_NE(std::search(w.begin(), w.end(), frame.begin(), frame.end()), w.end());
}

TEST(BlankCheck, NotBlankInTheSecondRegionStopsThere) {
  BoardRig r;
  ASSERT_TRUE(r.Download());
  r.board().Flash().Poke(0x100010, 0x00);
  OnBlankCheck(r.s());
  EXPECT_EQ(r.board().Stats().blankChecks, 2);
  EXPECT_EQ(r.state().lastReportId, 564);
  EXPECT_NE(r.state().lastReportText.find("\r\n ErrorAddress : 0x"), std::string::npos);
  EXPECT_NE(r.state().lastReportText.find("\r\n Flash      : 0x"), std::string::npos);
  EXPECT_EQ(r.state().lastReportText.find("ERROR !!"), std::string::npos);  // kind 0
  EXPECT_EQ(r.ui().progress.back()->icon, StandardIcon::Information);
  EXPECT_TRUE(r.state().controlProgramRunning);  // the user may erase and check again
}

TEST(BlankCheck, NoAnswerWithinTenSeconds) {
  BoardRig r;
  ASSERT_TRUE(r.Download());
  sim::Faults f;
  f.silentCommands.insert(0x48);
  r.board().SetFaults(f);
  EXPECT_EQ(BlankCheckFlash(r.s(), false), 4);
  EXPECT_EQ(r.state().lastReportId, 203);
}

TEST(ProbeBlank, BlankNotBlankAndFailed) {
  BoardRig r;
  ASSERT_TRUE(r.Download());
  EXPECT_EQ(ProbeBlank(r.s()), 0u);
  r.board().Flash().Poke(0x200FFF, 0x7F);
  EXPECT_EQ(ProbeBlank(r.s()), 1u);
  sim::Faults f;
  f.wrongAnswers[0x48] = 0x39;
  r.board().SetFaults(f);
  r.state().lastReportId = 0;
  EXPECT_EQ(ProbeBlank(r.s()), 2u);
  EXPECT_EQ(r.state().lastReportId, 0);  // an odd answer stops the run without a word
}

}  // namespace
}  // namespace flash
