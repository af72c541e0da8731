// The download over a pseudo-terminal against the simulated board: the real
// serial port code, the real line rates, and a boot ROM that checks them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/Settings.h"
#include "link/BootDownload.h"
#include "link/SerialPortPosix.h"
#include "sim/ControlProgram.h"
#include "support/SimHarness.h"

namespace flash::test {
namespace {

struct DownloadCase {
  const char* name;
  const char* device;
  int crystal;
  const char* crystalFile;  // a "-<crystal>" variant to install, or ""
  int workingRate;
};

class DownloadE2E : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(DownloadE2E, BootRateThenWorkingRateWithByte7CheckedByTheBoard) {
  const DownloadCase& c = GetParam();
  SimRig rig;
  ASSERT_TRUE(rig.Use(kSimCatalogue, c.device, c.crystal)) << rig.Error();
  const std::string file = std::string(c.device) == "DEMO_A" ? "DEMOA.CP" : "DEMOB.CP";
  // The generic file names another device: only the variant can run.
  rig.WriteControlProgram(file, *c.crystalFile ? "OTHER" : c.device);
  if (*c.crystalFile) rig.WriteControlProgram(file + "-" + c.crystalFile, c.device, c.crystalFile);

  EXPECT_FALSE(RunDownload(rig.s(), false)) << rig.board->EventText();
  EXPECT_EQ(rig.state().lastReportId, 307);
  EXPECT_TRUE(rig.state().controlProgramRunning);
  EXPECT_EQ(rig.state().linkBaud, c.workingRate);
  EXPECT_EQ(rig.board->Mode(), sim::BoardMode::ControlProgram) << rig.board->HangReason();
  EXPECT_EQ(rig.board->Rate(), c.workingRate);
  std::vector<uint8_t> loaded = rig.board->LoadedProgram();
  ASSERT_GT(loaded.size(), sim::kCrystalIndexOffset);
  EXPECT_EQ(loaded[sim::kCrystalIndexOffset], c.crystal);
  auto info = sim::ParseControlProgram(loaded);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->crystal, c.crystalFile);
  EXPECT_EQ(rig.board->Stats().rateChecks, 1);
  EXPECT_EQ(rig.board->Stats().bytesLost, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, DownloadE2E,
    ::testing::Values(DownloadCase{"DoubledBaud", "DEMO_A", 0, "", 19200},
                      DownloadCase{"CrystalSpecificFile", "DEMO_A", 1, "8MHz", 38400},
                      DownloadCase{"Baud2", "DEMO_B", 2, "", 115200}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DownloadE2EFailures, BoardRefusesAProgramBuiltForAnotherCrystal) {
  SimRig rig;
  ASSERT_TRUE(rig.Use(kSimCatalogue, "DEMO_A", 0)) << rig.Error();
  // An installation whose only file was built for 8MHz: byte 7 says 4MHz.
  rig.WriteControlProgram("DEMOA.CP", "DEMO_A", "8MHz");
  EXPECT_TRUE(RunDownload(rig.s(), false));
  EXPECT_EQ(rig.state().lastReportId, 203) << "the program never answers at the working rate";
  EXPECT_EQ(rig.board->Mode(), sim::BoardMode::Hung);
  EXPECT_NE(rig.board->HangReason().find("8MHz"), std::string::npos) << rig.board->HangReason();
  EXPECT_FALSE(rig.s().link.IsOpen());
}

TEST(DownloadE2EFailures, WrongCrystalSelectedGarblesTheBootRate) {
  SimRig rig;
  // The board carries 8MHz (boot at 19200); the user chose 4MHz (9600).
  ASSERT_TRUE(rig.Use(kSimCatalogue, "DEMO_A", 0, 1)) << rig.Error();
  rig.WriteControlProgram("DEMOA.CP", "DEMO_A");
  EXPECT_TRUE(RunDownload(rig.s(), false));
  EXPECT_EQ(rig.state().lastReportId, 203) << "the board never hears a sync";
  EXPECT_EQ(rig.board->Stats().syncs, 0) << rig.board->EventText();
  EXPECT_FALSE(rig.state().controlProgramRunning);
}

TEST(DownloadE2EFailures, NeverResetBoardKeepsItsProgramAndTheDownloadFails) {
  SimRig rig;
  ASSERT_TRUE(rig.Use(kSimCatalogue, "DEMO_A", 0)) << rig.Error();
  rig.WriteControlProgram("DEMOA.CP", "DEMO_A");
  ASSERT_FALSE(RunDownload(rig.s(), false)) << rig.board->EventText();
  rig.link->ClosePort();
  sim::Faults faults;
  faults.neverReset = true;
  rig.board->SetFaults(faults);
  EXPECT_TRUE(RunDownload(rig.s(), false));
  EXPECT_EQ(rig.state().lastReportId, 203);
  EXPECT_EQ(rig.board->Mode(), sim::BoardMode::ControlProgram);
}

TEST(DownloadE2EFailures, PortHeldByAnotherProcessIsRefusedEvenForRoot) {
  SimRig rig;
  ASSERT_TRUE(rig.Use(kSimCatalogue, "DEMO_A", 0)) << rig.Error();
  rig.WriteControlProgram("DEMOA.CP", "DEMO_A");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const std::string device = ComDevicePath(rig.dir.Path(), 1);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Another instance of the program: it holds COM1 until told to let go.
    SkippingClock clock;
    std::string reason;
    auto port = OpenPosixPort(device, clock, &reason);
    char held = port ? 1 : 0;
    (void)!write(ready[1], &held, 1);
    char c;
    (void)!read(release[0], &c, 1);
    _exit(0);
  }
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  ASSERT_EQ(held, 1) << "the other process could not open the port";

  EXPECT_TRUE(RunDownload(rig.s(), false));
  EXPECT_EQ(rig.state().lastReportId, 206);
  EXPECT_FALSE(rig.s().link.IsOpen());
  EXPECT_EQ(rig.board->Stats().bytesReceived, 0);

  char go = 1;
  ASSERT_EQ(write(release[1], &go, 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
  // Once the other process has gone the port is ours.
  EXPECT_FALSE(RunDownload(rig.s(), false)) << rig.board->EventText();
}

TEST(DownloadE2EFailures, CablePulledMidTransferIsAWriteError) {
  SimRig rig;
  ASSERT_TRUE(rig.Use(kSimCatalogue, "DEMO_A", 0)) << rig.Error();
  // Far more program than the terminal buffers, so the host is still writing
  // when the cable comes off after the sync, the header frame and a little data.
  rig.WriteControlProgram("DEMOA.CP", "DEMO_A", "", 48 * 1024);
  rig.board->PullCableAfter(1 + 10 + 300);
  EXPECT_TRUE(RunDownload(rig.s(), false));
  EXPECT_EQ(rig.state().lastReportId, 216) << rig.board->EventText();
  EXPECT_FALSE(rig.s().link.IsOpen());
  EXPECT_FALSE(rig.state().controlProgramRunning);
  EXPECT_EQ(rig.board->Mode(), sim::BoardMode::BootRom);
}

TEST(DownloadE2E, SurvivesTheHostReopeningThePortManyTimes) {
  SimRig rig;
  ASSERT_TRUE(rig.Use(kSimCatalogue, "DEMO_A", 1)) << rig.Error();
  rig.WriteControlProgram("DEMOA.CP", "DEMO_A");
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(rig.link->OpenPort(1, 19200), 0) << i << ": " << rig.link->LastOpenError();
    rig.link->ClosePort();
  }
  EXPECT_FALSE(RunDownload(rig.s(), false)) << rig.board->EventText();
  EXPECT_EQ(rig.board->Rate(), 38400);
}

}  // namespace
}  // namespace flash::test
