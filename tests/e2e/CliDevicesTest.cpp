// flashcli devices, run as a user runs it: the program copied into a
// directory of its own beside a catalogue.
#include <string>

#include <gtest/gtest.h>

#include "support/ProgramRun.h"
#include "support/TestSession.h"

namespace flash {
namespace {

using test::InstallProgram;
using test::ProgramRun;
using test::RunCommand;

TEST(CliDevices, AloneInAnEmptyDirectoryItCannotStart) {
  test::TempDir dir;
  ProgramRun r = RunCommand(InstallProgram(dir, "flashcli") + " devices");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("REGIST FAILED!"), std::string::npos) << r.out;
}

TEST(CliDevices, ListsRegionsClocksAndSkippedSections) {
  test::TempDir dir;
  std::string cli = InstallProgram(dir, "flashcli");
  dir.Write("CHIPDEF.INI", std::string(test::kTwoRegionCatalogue) +
                               "[nobaud]\r\nDownloadFile=x\r\nLoadAddress=0\r\nStartAddress=0\r\n"
                               "EndAddress=FF\r\nFlashSize=1\r\nClock=4\r\n"
                               "[wide]\r\nDownloadFile=x\r\nLoadAddress=0\r\nStartAddress=0\r\n"
                               "EndAddress=3FFFFF\r\nFlashSize=1\r\nClock=4\r\nBaud=9600\r\n");
  ProgramRun r = RunCommand(cli + " devices");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("DEMO_CHIP\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1       00000000H  000FFFFFH  00100000H"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2       00100000H  00100FFFH  00001000H"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"8MHz\"            19200      38400"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("NOBAUD: Baud is missing or empty"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("WIDE: region 1"), std::string::npos) << r.out;
}

TEST(CliDevices, UsageErrors) {
  test::TempDir dir;
  std::string cli = InstallProgram(dir, "flashcli");
  EXPECT_EQ(RunCommand(cli).status, 2);
  EXPECT_EQ(RunCommand(cli + " frobnicate").status, 2);
  EXPECT_EQ(RunCommand(cli + " devices extra").status, 2);
  EXPECT_EQ(RunCommand(cli + " --bogus devices").status, 2);
  ProgramRun help = RunCommand(cli + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("devices"), std::string::npos);
}

}  // namespace
}  // namespace flash
