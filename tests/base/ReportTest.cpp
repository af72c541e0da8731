#include "base/Report.h"

#include <gtest/gtest.h>

#include "base/ProgressDialog.h"
#include "support/TestSession.h"

namespace flash {
namespace {

using test::TestSession;

TEST(Report, TextPrefixAndDetailsInOrder) {
  TestSession t;
  t.state().errorDetail = "ERASE ERROR MCU : 34H";
  EXPECT_EQ(BuildReportText(t.session, 219, KindError),
            "ERROR !!    ERASE ERROR MCU : 34H\r\n No.018 Erase error");
  EXPECT_EQ(t.state().errorDetail, "");

  t.state().errorAddressText = "0x00000010";
  t.state().fileValueText = "ABCD";
  t.state().flashValueText = "1234";
  EXPECT_EQ(BuildReportText(t.session, 214, KindTransferError),
            "ERROR !!    \r\n No.013 Program error\r\n ErrorAddress : 0x00000010\r\n"
            " Flash      : 1234\r\n HexFile   : ABCD");
  EXPECT_TRUE(t.state().errorAddressText.empty());
  EXPECT_TRUE(t.state().fileValueText.empty());

  // Kind 0 has no prefix but keeps the details.
  t.state().errorAddressText = "0x12345678";
  EXPECT_EQ(BuildReportText(t.session, 564, KindInformation),
            "A flash isn't erased\r\n ErrorAddress : 0x12345678");
}

TEST(Report, BatchFormHasNoPrefix) {
  TestSession t({"app.mhx", "no_dialog"});
  t.state().errorDetail = "MCU : 12H";
  EXPECT_EQ(BuildReportText(t.session, 201, KindWarning), "MCU : 12H No.001 Download error\n");
}

TEST(Report, MessageBoxWithoutProgressDialog) {
  TestSession t;
  t.state().controlProgramRunning = true;
  ReportResult(t.session, 212, KindError, SoundError);
  ASSERT_EQ(t.ui.boxes.size(), 2u);
  EXPECT_EQ(t.ui.boxes[0].text, "ERROR !!    \r\n No.011 Communication error");
  EXPECT_EQ(t.ui.boxes[0].caption, "Dazur Ovaduv Odovov");
  EXPECT_EQ(t.ui.boxes[0].icon, BoxIcon::Exclamation);
  EXPECT_EQ(t.ui.boxes[1].text, "Please redo from download operation");
  EXPECT_FALSE(t.state().controlProgramRunning);
  EXPECT_EQ(t.ui.focusTargetList, 1);
  // The text-mode file stores the CR LF of the text as CR CR LF, as it always has.
  EXPECT_EQ(t.dir.Read("MESSFILE.TXT"), "NG\r\nERROR !!    \r\r\n No.011 Communication error");
  EXPECT_EQ(t.state().lastReportId, 212);

  // Kinds 0 and 1: one box, the button state stays.
  t.ui.boxes.clear();
  t.state().controlProgramRunning = true;
  ReportResult(t.session, 401, KindWarning, SoundError);
  ASSERT_EQ(t.ui.boxes.size(), 1u);
  EXPECT_TRUE(t.state().controlProgramRunning);
  ReportResult(t.session, 306, KindInformation, SoundEnd);
  EXPECT_EQ(t.ui.boxes.back().icon, BoxIcon::Information);
  EXPECT_EQ(t.dir.Read("MESSFILE.TXT"), "OK");
}

TEST(Report, ProgressDialogNeedsTwoAcknowledgementsForErrors) {
  TestSession t;
  t.state().progressDialog = std::make_unique<ProgressDialog>(14);
  ASSERT_TRUE(t.state().progressDialog->Open(t.ui));
  auto rec = t.ui.progress.at(0);
  ReportResult(t.session, 203, KindTransferError, SoundError);
  EXPECT_TRUE(t.ui.boxes.empty());
  std::vector<std::string> acks;
  for (const auto& c : rec->calls)
    if (c == "ack" || c.rfind("status:", 0) == 0) acks.push_back(c);
  EXPECT_EQ(acks, (std::vector<std::string>{"status:ERROR !!    \r\n No.003 timeout error", "ack",
                                            "status:Please redo from download operation",
                                            "ack"}));
  EXPECT_EQ(rec->icon, StandardIcon::Error);
  EXPECT_EQ(rec->buttonText, "Ok");

  rec->calls.clear();
  ReportResult(t.session, 303, KindInformation, SoundEnd);
  EXPECT_EQ(std::count(rec->calls.begin(), rec->calls.end(), "ack"), 1);
  EXPECT_EQ(rec->icon, StandardIcon::Information);
}

TEST(Report, BatchShowsNothingButStillResets) {
  TestSession t({"app.mhx"});
  t.state().settings.soundEnabled = 1;
  t.state().settings.errorEnable = 1;
  t.state().settings.errorType = 1;
  t.state().controlProgramRunning = true;
  ReportResult(t.session, 203, KindTransferError, SoundError);
  EXPECT_TRUE(t.ui.boxes.empty());
  EXPECT_TRUE(t.ui.sounds.empty());
  EXPECT_FALSE(t.state().controlProgramRunning);
  EXPECT_EQ(t.dir.Read("MESSFILE.TXT"), "NG\r\n No.003 timeout error\r\n");
}

TEST(Report, SoundsFollowTheSettings) {
  TestSession t;
  UserSettings& u = t.state().settings;
  PlayResultSound(t.session, SoundError);
  EXPECT_TRUE(t.ui.sounds.empty());  // master switch off
  u.soundEnabled = 1;
  u.errorEnable = 1;
  u.errorType = 1;
  u.errorFile = "/x/err.wav";
  PlayResultSound(t.session, SoundError);
  EXPECT_EQ(t.ui.sounds, (std::vector<std::string>{"beep"}));  // beep, the file untouched
  u.errorType = 0;
  PlayResultSound(t.session, SoundError);
  EXPECT_EQ(t.ui.sounds, (std::vector<std::string>{"beep", "stop", "play:/x/err.wav"}));
  t.ui.sounds.clear();
  PlayResultSound(t.session, SoundEnd);  // end sound not enabled
  PlayResultSound(t.session, SoundNone);
  EXPECT_TRUE(t.ui.sounds.empty());
}

// Reporting reaches the result file and the port only through the outlets
// its session was given, and a session without a main window reports alike.
TEST(Report, GoesOutThroughTheSessionsOutletsAlone) {
  struct Recorder final : ReportOutlets {
    void WriteResult(Session&, MessageId id, const std::string& text) const override {
      calls.push_back("result " + std::to_string(id) + ": " + text);
    }
    void ClosePort(Session&) const override { calls.push_back("close"); }
    mutable std::vector<std::string> calls;
  } outlets;
  TestSession t({"app.mhx"});
  test::FakeFrontEnd windowless;
  Session s(windowless, t.clock, t.link, CommandLine({"app.mhx"}), outlets);
  s.state.programDir = t.dir.Path();
  s.state.controlProgramRunning = true;

  ReportResult(s, 401, KindWarning, SoundError);
  ReportResult(s, 203, KindTransferError, SoundError);
  EXPECT_EQ(outlets.calls, (std::vector<std::string>{"result 401:  No.101 Please set \"hex file\"\n",
                                                      "result 203:  No.003 timeout error\n", "close"}));
  EXPECT_FALSE(s.state.controlProgramRunning);
  EXPECT_FALSE(t.dir.Exists("MESSFILE.TXT"));
  EXPECT_EQ(windowless.stateToControls + windowless.focusTargetList, 0);
}

}  // namespace
}  // namespace flash
