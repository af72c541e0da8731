// Every flash command as a user runs it: flashcli in a directory of its own,
// a simulated board on a pseudo-terminal behind COM1, one process per command.
#include <gtest/gtest.h>

#include <cstdio>

#include "sim/ControlProgram.h"
#include "support/BoardRig.h"
#include "support/ProgramRun.h"
#include "support/SimHarness.h"

namespace flash::test {
namespace {

std::vector<uint8_t> Data(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed ^ (i * 29 + (i >> 7)));
  return v;
}

class CliOnBoard : public ::testing::Test {
 protected:
  void SetUp() override {
    cli = InstallProgram(dir, "flashcli");
    dir.Write("CHIPDEF.INI", kSimCatalogue);
    auto program = sim::MakeControlProgram("DEMO_A", "");
    dir.Write("DEMOA.CP", std::string(program.begin(), program.end()));
    dir.Write("app.mhx", SRecords(0x0800, Data(1500, 3)) + SRecords(0x100F00, Data(256, 7)));
    dir.Write("TIMETEST.TXT", "");
    board = std::make_unique<SimHarness>(dir.File("CHIPDEF.INI"), "DEMO_A");
    ASSERT_TRUE(board->Start()) << board->Error();
    ASSERT_TRUE(board->PointCom(dir.Path(), 1));
  }
  // Run from the program's directory, as a user with the files there would.
  ProgramRun Cli(const std::string& args) {
    return RunCommand("cd '" + dir.Path() + "' && ./flashcli " + args + " </dev/null");
  }
  std::string Result() {
    std::string r = dir.Read("MESSFILE.TXT");
    return r;
  }
  void ExpectFileOnBoard() {
    auto a = Data(1500, 3);
    auto got = board->ReadFlash(0x0800, a.size());
    EXPECT_EQ(got, a);
    auto b = Data(256, 7);
    EXPECT_EQ(board->ReadFlash(0x100F00, b.size()), b);
    EXPECT_EQ(board->ReadFlash(0x07FF, 1), std::vector<uint8_t>{0xFF});
  }

  TempDir dir;
  std::string cli;
  std::unique_ptr<SimHarness> board;
};

TEST_F(CliOnBoard, EveryCommandInItsOwnProcess) {
  ProgramRun r = Cli("--no-reset download");
  ASSERT_EQ(r.status, 0) << r.out << board->EventText();
  EXPECT_NE(r.out.find("It transferred a control program to the microcomputer"), std::string::npos);
  EXPECT_EQ(Result(), "NG\r\nIt transferred a control program to the microcomputer");
  // Each summary says what its command did.
  EXPECT_NE(r.out.find("control program of 1024 bytes loaded in "), std::string::npos) << r.out;

  r = Cli("blank");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("A flash is Erased"), std::string::npos);
  EXPECT_NE(r.out.find("2 regions blank in "), std::string::npos) << r.out;

  r = Cli("program app.mhx");
  ASSERT_EQ(r.status, 0) << r.out << board->EventText();
  EXPECT_NE(r.out.find("The Programming ended normally"), std::string::npos);
  EXPECT_NE(r.out.find(" bytes programmed in "), std::string::npos) << r.out;  // the summary line
  ExpectFileOnBoard();

  r = Cli("compare app.mhx");
  EXPECT_EQ(r.status, 0) << r.out;

  r = Cli("copy out.hex --intel-hex");
  ASSERT_EQ(r.status, 0) << r.out;
  r = Cli("copy out.mhx");
  ASSERT_EQ(r.status, 0) << r.out;
  // What Copy wrote loads back and sums as the board's flash does.
  unsigned sum = 0;
  for (uint8_t b : board->ReadFlash(0, 0x10000)) sum += b;
  for (uint8_t b : board->ReadFlash(0x100000, 0x1000)) sum += b;
  char want[8];
  std::snprintf(want, sizeof want, "%04X", sum & 0xFFFF);
  EXPECT_NE(Cli("checksum out.hex").out.find(want), std::string::npos);
  EXPECT_NE(Cli("checksum out.mhx").out.find(want), std::string::npos);

  board->WriteFlash(0x0900, {0x00});
  r = Cli("compare app.mhx");
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_NE(r.out.find("There is a point of difference in the flash and the hex file"),
            std::string::npos);
  EXPECT_NE(r.out.find(" ErrorAddress : 0x00000900"), std::string::npos) << r.out;

  r = Cli("blank");
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_NE(r.out.find("A flash isn't erased"), std::string::npos);

  r = Cli("erase");
  EXPECT_EQ(r.status, 0) << r.out << board->EventText();
  EXPECT_NE(r.out.find("erased in "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("0 bytes"), std::string::npos) << r.out;
  EXPECT_EQ(board->ReadFlash(0x0800, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));

  r = Cli("--no-reset full app.mhx");
  ASSERT_EQ(r.status, 0) << r.out << board->EventText();
  EXPECT_EQ(Result(), "OK");
  ExpectFileOnBoard();

  std::string trace = dir.Read("TIMETEST.TXT");
  for (const char* key : {"DOWNLOAD=", "BLANK=", "PROGRAM=", "READ=", "COPY=", "ERACE=", "AUTO="})
    EXPECT_NE(trace.find(key), std::string::npos) << key << "\n" << trace;
}

TEST_F(CliOnBoard, FailuresAndTheirExitStatus) {
  ProgramRun r = Cli("program missing.mhx");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("No.101 Please set \"hex file\""), std::string::npos) << r.out;

  r = Cli("--port COM7 blank");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(" No.006 Unable to open COM port."), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("dialout"), std::string::npos) << r.out;

  EXPECT_EQ(Cli("--device NOPE blank").status, 2);
  EXPECT_EQ(Cli("--port COM0 blank").status, 2);
  EXPECT_EQ(Cli("program").status, 2);

  // The cable comes off during the program's transfer.
  ASSERT_EQ(Cli("--no-reset download").status, 0);
  board->PullCableAfter(200);
  r = Cli("program app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  // Whichever call meets the hung-up line first tells, and only it: the
  // command stops without a second report that would replace it.
  const bool write = r.out.find("No.015 COM port write error") != std::string::npos;
  const bool read = r.out.find("No.016 COM port read error") != std::string::npos;
  EXPECT_NE(write, read) << r.out;
  EXPECT_EQ(r.out.find("No.013 Program error"), std::string::npos) << r.out;
  EXPECT_NE(Result().find(write ? "No.015" : "No.016"), std::string::npos) << Result();
}

}  // namespace
}  // namespace flash::test

namespace flash::test {
namespace {

// flash without a display: the same start-up, then the one unattended run.
std::string Headless(const TempDir& dir, const std::string& args) {
  return "cd '" + dir.Path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY ./flash " + args +
         " </dev/null";
}

TEST(FlashHeadless, AloneInAnEmptyDirectoryItCannotStart) {
  if (!ProgramBuilt("flash")) GTEST_SKIP() << "flash is not built in this configuration";
  TempDir dir;
  InstallProgram(dir, "flash");
  ProgramRun r = RunCommand(Headless(dir, ""));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("REGIST FAILED!"), std::string::npos) << r.out;
  r = RunCommand(Headless(dir, "app.mhx com1 no_dialog"));
  EXPECT_EQ(r.status, 2) << r.out;
}

TEST_F(CliOnBoard, UnattendedFullOperationAndItsExitStatus) {
  if (!ProgramBuilt("flash")) GTEST_SKIP() << "flash is not built in this configuration";
  InstallProgram(dir, "flash");
  ProgramRun r = RunCommand(Headless(dir, "app.mhx com1 no_dialog no_reset"));
  EXPECT_EQ(r.status, 0) << r.out << board->EventText();
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "OK");
  ExpectFileOnBoard();

  // A file that does not decode: exit 1, and the result file says why.
  dir.Write("bad.mhx", "S1030000FC\n");
  r = RunCommand(Headless(dir, "bad.mhx com1 no_dialog no_reset"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT").rfind("NG\r\n", 0), 0u);

  // The port named on the command line does not exist: exit 1.
  r = RunCommand(Headless(dir, "app.mhx com9 no_dialog no_reset"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(dir.Read("MESSFILE.TXT").find("No.006 Unable to open COM port."), std::string::npos);
}

}  // namespace
}  // namespace flash::test
