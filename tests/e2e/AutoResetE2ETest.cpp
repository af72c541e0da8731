// flashcli with an automatic reset configured, against simulated boards on
// pseudo-terminals, which have no modem lines: the run must say so before
// a byte goes out, never fall back to talking to a board nobody reset.
#include "support/GangRig.h"

namespace flash::test {
namespace {

using AutoResetCli = GangTest;

TEST_F(AutoResetCli, APortWithoutModemLinesFailsBeforeAnyByte) {
  StartBoards(2);
  ProgramRun r = Cli("--port COM1 --reset-sequence D0R1W100D1R0W50 download");
  EXPECT_EQ(r.status, 1) << r.out;
  const std::string why = "the reset sequence drives DTR and RTS, and COM1 has no modem lines";
  EXPECT_NE(r.out.find(why), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(why), r.out.rfind(why)) << "said once: " << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "NG\r\n" + why);
  EXPECT_EQ(boards[0]->Stats().syncs, 0);

  // A device named in place of COMn is named so; one that a COMn maps to
  // keeps its COMn.
  const std::string pty = boards[0]->SlavePath();
  dir.Write("Customize.ini", "");
  r = Cli("--port " + pty + " --reset-sequence D0W10D1 download");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("and " + pty + " has no modem lines"), std::string::npos) << r.out;
  ASSERT_TRUE(boards[0]->PointCom(dir.Path(), 1));
  ASSERT_TRUE(boards[1]->PointCom(dir.Path(), 2));
  r = Cli("--port " + pty + " --reset-sequence D0W10D1 download");
  EXPECT_NE(r.out.find("and COM1 has no modem lines"), std::string::npos) << r.out;

  // From Customize.ini, for every board of a gang: no prompt, each board fails alone.
  dir.Write("Customize.ini", dir.Read("Customize.ini") + "[Reset]\r\nSequence=D0W50D1\r\n");
  r = Cli("--reset --port COM1,COM2 full app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(r.out.find("Please reset"), std::string::npos) << r.out;
  EXPECT_NE(dir.Read("MESSFILE.TXT").find("COM2: the reset sequence drives DTR and RTS, and COM2 has no modem lines"), std::string::npos)
      << dir.Read("MESSFILE.TXT");
  EXPECT_EQ(boards[1]->Stats().syncs, 0);
}

TEST_F(AutoResetCli, AnInvalidSequenceIsAUsageError) {
  for (const char* seq : {"D0R1W100X", "W20000", "''"}) {
    ProgramRun r = Cli(std::string("--reset-sequence ") + seq + " download");
    EXPECT_EQ(r.status, 2) << seq << r.out;
    EXPECT_NE(r.out.find("reset sequence"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace flash::test
