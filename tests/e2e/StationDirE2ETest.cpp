// An installed program run by a user who cannot write its directory: the
// station's files go to that user's station directory, the catalogue there
// comes first, and a writable program directory behaves as it always did.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "base/FileUtil.h"
#include "support/OtherUser.h"
#include "support/ProgramRun.h"
#include "support/TestSession.h"

namespace flash::test {
namespace {

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(FLASH_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string LastLine(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') t.pop_back();
  const std::size_t nl = t.rfind('\n');
  return nl == std::string::npos ? t : t.substr(nl + 1);
}

class InstalledProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ReadOnlyForOtherUser(program.Path());
    WritableForOtherUser(user.Path());
  }
  void TearDown() override { WritableForOtherUser(program.Path()); }

  // A command line run as the other user, without a display, in its home;
  // "exec" makes the program the shell's process, for a background run.
  std::string As(const std::string& command, bool withXdg = true, bool exec = false) const {
    return "cd " + user.Path() + " && " + (exec ? "exec " : "") + AsOtherUser() +
           "env -u DISPLAY -u WAYLAND_DISPLAY" + (withXdg ? "" : " -u XDG_CONFIG_HOME") +
           " HOME=" + user.Path() + (withXdg ? " XDG_CONFIG_HOME=" + user.File("xdg") : "") + " " +
           command;
  }
  std::string Station(bool withXdg = true) const {
    return (withXdg ? user.File("xdg/") : user.File(".config/")) + StationName() + "/";
  }

  TempDir program;
  TempDir user;
};

TEST_F(InstalledProgram, DevicesNamesTheStationDirectoryAndReadsItsCatalogueFirst) {
  const std::string cli = InstallProgram(program, "flashcli");
  program.Write("CHIPDEF.INI", kTwoRegionCatalogue);

  ProgramRun r = RunCommand(As(cli + " devices"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("DEMO_CHIP\n"), std::string::npos) << r.out;
  EXPECT_EQ(LastLine(r.out),
            "station directory: " + Station() + " (" + program.Path() + " is not writable)");
  EXPECT_TRUE(IsDirectory(Station()));

  // The user's own catalogue stands in for the installed one.
  std::ofstream(Station() + "CHIPDEF.INI", std::ios::binary) << ReadSource("data/demo/CHIPDEF.INI");
  r = RunCommand(As(cli + " devices"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("DEMO_A\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("DEMO_CHIP"), std::string::npos) << r.out;

  // Without XDG_CONFIG_HOME: ~/.config/<name>/, which holds no catalogue yet.
  r = RunCommand(As(cli + " devices", false));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("DEMO_CHIP\n"), std::string::npos) << r.out;
  EXPECT_EQ(LastLine(r.out),
            "station directory: " + Station(false) + " (" + program.Path() + " is not writable)");
}

TEST_F(InstalledProgram, AWritableProgramDirectoryKeepsEverythingAsBefore) {
  WritableForOtherUser(program.Path());
  const std::string cli = InstallProgram(program, "flashcli");
  program.Write("CHIPDEF.INI", kTwoRegionCatalogue);
  program.Write("Customize.ini", "[Ports]\r\nCOM1=" + user.File("no-such-port") + "\r\n");
  ProgramRun r = RunCommand(As(cli + " devices"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(LastLine(r.out), "station directory: " + program.Path() + " (the program's own)");
  r = RunCommand(As(cli + " --port COM1 erase"));  // no port to open, but a result to write
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(program.Exists("MESSFILE.TXT")) << r.out;
  EXPECT_FALSE(user.Exists("xdg"));
}

TEST_F(InstalledProgram, TheUnattendedRunKeepsItsFilesInTheStationDirectory) {
  if (!ProgramBuilt("flash")) GTEST_SKIP() << "flash is not built in this configuration";
  const std::string flash = InstallProgram(program, "flash");
  const std::string sim = InstallProgram(program, "flashsim");
  for (const auto& entry : std::filesystem::directory_iterator(std::string(FLASH_SOURCE_DIR) + "/data/demo")) {
    const std::string name = entry.path().filename().string();
    program.Write(name, ReadSource("data/demo/" + name));
  }
  const auto before = std::distance(std::filesystem::directory_iterator(program.Path()),
                                    std::filesystem::directory_iterator());

  // The board runs as the same user, so its terminal is that user's to open.
  const std::string link = user.File("ttyBOARD");
  BackgroundRun board(
      As(sim + " -c " + program.File("CHIPDEF.INI") + " -d DEMO_A -q -l " + link, true, true));
  ASSERT_TRUE(board.Started());
  for (int i = 0; i < 100 && !std::filesystem::exists(link); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(std::filesystem::exists(link)) << board.Wait().out;

  std::filesystem::create_directories(Station());
  WritableForOtherUser(user.File("xdg"));
  std::ofstream(Station() + "Customize.ini", std::ios::binary) << "[Ports]\r\nCOM1=" << link << "\r\n";
  std::ofstream(Station() + "TIMETEST.TXT", std::ios::binary) << "";
  std::ofstream(Station() + "LINKTRACE.TXT", std::ios::binary) << "";
  WritableForOtherUser(Station());
  for (const char* name : {"Customize.ini", "TIMETEST.TXT", "LINKTRACE.TXT"})
    WritableForOtherUser(Station() + name);

  ProgramRun r = RunCommand(As(flash + " " + program.File("demo_a.mhx") + " com1 no_dialog no_reset"));
  EXPECT_EQ(r.status, 0) << r.out;
  std::ifstream result(Station() + "MESSFILE.TXT", std::ios::binary);
  std::string first;
  std::getline(result, first);
  EXPECT_EQ(first.substr(0, first.find('\r')), "OK") << r.out;
  std::ifstream timing(Station() + "TIMETEST.TXT");
  std::ostringstream timed;
  timed << timing.rdbuf();
  EXPECT_NE(timed.str().find("DEMO_A"), std::string::npos) << "TIMETEST.TXT: " << timed.str();
  EXPECT_GT(std::filesystem::file_size(Station() + "LINKTRACE.TXT"), 0u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(program.Path()),
                          std::filesystem::directory_iterator()),
            before);
}

}  // namespace
}  // namespace flash::test
