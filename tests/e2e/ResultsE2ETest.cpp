// What a production script sees after a run: the result file and the exit
// status never say OK for a run that did not succeed, a failure is reported
// once, and a signal stops a command cleanly. The real programs, a simulated
// board on a pseudo-terminal behind COM1.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "base/Catalogue.h"
#include "base/Settings.h"
#include "diag/DiagFiles.h"
#include "link/BootDownload.h"
#include "link/SerialPortPosix.h"
#include "ops/CommandHandlers.h"
#include "sim/ChipDefinition.h"
#include "sim/ControlProgram.h"
#include "support/BoardRig.h"
#include "support/ProgramRun.h"
#include "support/SimHarness.h"

namespace flash::test {
namespace {

std::vector<uint8_t> Data(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed ^ (i * 31 + (i >> 8)));
  return v;
}

// Names in a directory, for "nothing was left behind".
std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
  for (int waited = 0; waited < ms; waited += 5) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// flashcli (and flash) in a directory of their own with DEMO_A's files, and
// a board behind COM1; paced boards talk at the line rate, so a command takes
// long enough to be interrupted in the middle.
class Station : public ::testing::Test {
 protected:
  void StartBoard(bool paced, const sim::Faults& faults = {}) {
    InstallProgram(dir, "flashcli");
    dir.Write("CHIPDEF.INI", kSimCatalogue);
    auto program = sim::MakeControlProgram("DEMO_A", "");
    dir.Write("DEMOA.CP", std::string(program.begin(), program.end()));
    dir.Write("app.mhx", SRecords(0, Data(0x8000, 5)) + SRecords(0x100000, Data(0x400, 9)));
    std::string problem;
    auto config = sim::ConfigFromDefinition(sim::ReadChipDefinition(dir.File("CHIPDEF.INI"), "DEMO_A"),
                                            0, &problem);
    ASSERT_TRUE(config) << problem;
    config->realisticTiming = paced;
    config->eraseUs = 300 * 1000;
    config->faults = faults;
    board = std::make_unique<SimHarness>(*config);
    ASSERT_TRUE(board->Start()) << board->Error();
    ASSERT_TRUE(board->PointCom(dir.Path(), 1));
  }
  std::string In(const std::string& command) const {
    return "cd '" + dir.Path() + "' && exec " + command + " </dev/null";
  }
  ProgramRun Cli(const std::string& args) { return RunCommand(In("./flashcli " + args)); }
  std::string Headless(const std::string& args) const {
    return In("env -u DISPLAY -u WAYLAND_DISPLAY ./flash " + args);
  }
  // The next user can take the port at once.
  bool PortFree() {
    SkippingClock clock;
    std::string reason;
    auto port = OpenPosixPort(ComDevicePath(dir.Path(), 1), clock, &reason);
    return port != nullptr;
  }

  TempDir dir;
  std::unique_ptr<SimHarness> board;
};

struct StopCase {
  const char* name;
  const char* command;  // flashcli arguments, or flash's with "flash " in front
  int signal;
  bool copy;
};

class StopSignal : public Station, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopSignal, EndsTheCommandReleasesThePortAndLeavesNG) {
  const StopCase& c = GetParam();
  const bool unattended = std::string(c.command).rfind("flash ", 0) == 0;
  if (unattended && !ProgramBuilt("flash")) GTEST_SKIP() << "flash is not built here";
  ASSERT_NO_FATAL_FAILURE(StartBoard(true));
  if (unattended) InstallProgram(dir, "flash");
  else ASSERT_EQ(Cli("--no-reset download").status, 0);
  dir.Write("MESSFILE.TXT", "OK");
  dir.Write("out.mhx", "an earlier read-out\n");
  const auto before = Names(dir.Path());

  BackgroundRun run(unattended ? Headless(std::string(c.command).substr(6) )
                               : In(std::string("./flashcli ") + c.command));
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(WaitFor([&] {
    auto st = board->Stats();
    return (c.copy ? st.blocksRead : st.blocksProgrammed) >= 2 || !run.Running();
  })) << board->EventText();
  ASSERT_TRUE(run.Running()) << run.Wait().out;
  run.Signal(c.signal);
  ProgramRun r = run.Wait();

  EXPECT_EQ(r.status, 128 + c.signal) << r.out;
  const std::string stopText = StopText(c.signal);
  EXPECT_NE(r.out.find(stopText), std::string::npos) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "NG\r\n" + stopText);
  EXPECT_TRUE(PortFree());
  // A read-out under way leaves no file, and the one there stays as it was.
  EXPECT_EQ(Names(dir.Path()), before);
  EXPECT_EQ(dir.Read("out.mhx"), "an earlier read-out\n");
  EXPECT_LT(board->Stats().blocksProgrammed, 64);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, StopSignal,
    ::testing::Values(StopCase{"ProgramInt", "program app.mhx", SIGINT, false},
                      StopCase{"ProgramTerm", "program app.mhx", SIGTERM, false},
                      StopCase{"CopyInt", "copy out.mhx", SIGINT, true},
                      StopCase{"CopyTerm", "copy out.mhx", SIGTERM, true},
                      StopCase{"CopyHup", "copy --intel-hex out.mhx", SIGHUP, true},
                      StopCase{"UnattendedInt", "flash app.mhx com1 no_dialog no_reset", SIGINT,
                               false},
                      StopCase{"UnattendedTerm", "flash app.mhx com1 no_reset", SIGTERM, false}),
    [](const ::testing::TestParamInfo<StopCase>& p) { return p.param.name; });

TEST_F(Station, KillDuringACopyLeavesNoFile) {
  ASSERT_NO_FATAL_FAILURE(StartBoard(true));
  ASSERT_EQ(Cli("--no-reset download").status, 0);
  const auto before = Names(dir.Path());
  BackgroundRun run(In("./flashcli copy out.hex --intel-hex"));
  ASSERT_TRUE(WaitFor([&] { return board->Stats().blocksRead >= 2 || !run.Running(); }));
  ASSERT_TRUE(run.Running());
  run.Signal(SIGKILL);
  int signal = 0;
  run.Wait(&signal);
  EXPECT_EQ(signal, SIGKILL);
  EXPECT_EQ(Names(dir.Path()), before);
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "NG\r\n");
}

TEST_F(Station, ATraceReaderThatGoesAwayKillsNothing) {
  ASSERT_NO_FATAL_FAILURE(StartBoard(false));
  ASSERT_EQ(Cli("--no-reset download").status, 0);
  ProgramRun r = RunCommand("cd '" + dir.Path() +
                            "' && ./flashcli --trace copy out.mhx 2>&1 </dev/null | head -c 300");
  EXPECT_EQ(r.out.size(), 300u);
  // flashcli went on without its reader: the read-out is whole, nothing else is left.
  EXPECT_TRUE(WaitFor([&] { return dir.Exists("out.mhx"); }, 10000));
  EXPECT_TRUE(WaitFor([&] { return PortFree(); }, 10000));
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "NG\r\nThe Copy ending");
  for (const auto& name : Names(dir.Path())) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
  ProgramRun sum = Cli("checksum out.mhx");
  EXPECT_EQ(sum.status, 0) << sum.out;
}

// Endings that report nothing, each after an earlier OK.
TEST_F(Station, AnUnexpectedProbeAnswerIsNamedInTheResultFile) {
  sim::Faults f;
  f.wrongAnswers[0x48] = 0x41;
  ASSERT_NO_FATAL_FAILURE(StartBoard(false, f));
  dir.Write("MESSFILE.TXT", "OK");
  ProgramRun r = Cli("--no-reset full app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "NG\r\nBlank probe: unexpected answer 41H");
  EXPECT_NE(r.out.find("unexpected answer 41H"), std::string::npos) << r.out;
}

TEST_F(Station, AFileThatDoesNotLoadIsNamedButChecksumLeavesTheResultAlone) {
  ASSERT_NO_FATAL_FAILURE(StartBoard(false));
  ASSERT_EQ(Cli("--no-reset download").status, 0);
  dir.Write("bad.mhx", "S1030000FC\n");
  dir.Write("MESSFILE.TXT", "OK");
  ProgramRun r = Cli("program bad.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "NG\r\nS format decoder decode error in 1");
  dir.Write("MESSFILE.TXT", "OK");
  r = Cli("checksum bad.mhx");  // no flash command: the result file is not its business
  EXPECT_NE(r.status, 0) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "OK");
}

TEST_F(Station, ACrcErrorWithoutDialogsEndsAsACancel) {
  if (!ProgramBuilt("flash")) GTEST_SKIP() << "flash is not built here";
  sim::Faults f;
  f.crcErrorBlock = 3;
  ASSERT_NO_FATAL_FAILURE(StartBoard(false, f));
  InstallProgram(dir, "flash");
  dir.Write("MESSFILE.TXT", "OK");
  ProgramRun r = RunCommand(Headless("app.mhx com1 no_dialog no_reset"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "NG\r\nIt was canceled");
  EXPECT_NE(r.out.find("flash: It was canceled"), std::string::npos) << r.out;
}

TEST_F(Station, AResultFileThatCannotBeWrittenFailsTheRun) {
  ASSERT_NO_FATAL_FAILURE(StartBoard(false));
  ASSERT_EQ(Cli("--no-reset download").status, 0);
  std::filesystem::remove(dir.File("MESSFILE.TXT"));
  std::filesystem::create_directory(dir.File("MESSFILE.TXT"));  // root writes even read-only ones
  ProgramRun r = Cli("blank");
  EXPECT_NE(r.out.find("A flash is Erased"), std::string::npos) << r.out;
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("MESSFILE.TXT could not be written"), std::string::npos) << r.out;
}

TEST_F(Station, ANonBlankFlashAfterTheEraseFailsAFullOperation) {
  sim::Faults f;
  f.notBlankAt = 0x100010;
  ASSERT_NO_FATAL_FAILURE(StartBoard(false, f));
  board->FillFlashPattern();
  ProgramRun r = Cli("--no-reset full app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;  // a failed Full Operation, not a negative check
  EXPECT_NE(r.out.find("A flash isn't erased"), std::string::npos) << r.out;
  r = Cli("blank");  // the check by itself is one
  EXPECT_EQ(r.status, 3) << r.out;
}

TEST_F(Station, ADisplayThatDoesNotAnswerFallsBackToTheHeadlessRun) {
  if (!ProgramBuilt("flash")) GTEST_SKIP() << "flash is not built here";
  ASSERT_NO_FATAL_FAILURE(StartBoard(false));
  InstallProgram(dir, "flash");
  const std::string env = "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:97 ";
  ProgramRun r = RunCommand(In(env + "./flash app.mhx com1 no_dialog no_reset"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "OK");
  r = RunCommand(In(env + "./flash"));
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.out.find("no display could be opened (DISPLAY=:97 did not answer)"),
            std::string::npos)
      << r.out;
}

// The real window on a real X server: a signal during an unattended run with
// the window shown stops it as the close button would, and the idle window
// ends on one too.
TEST_F(Station, TheWindowStopsOnASignal) {
  if (!ProgramBuilt("flash")) GTEST_SKIP() << "flash is not built here";
  if (RunCommand("command -v Xvfb").status != 0) GTEST_SKIP() << "no Xvfb here";
  ASSERT_NO_FATAL_FAILURE(StartBoard(true));
  InstallProgram(dir, "flash");
  int display = 90;
  while (display < 120 && (std::filesystem::exists("/tmp/.X" + std::to_string(display) + "-lock") ||
                           std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(display))))
    ++display;
  // -noreset: by default the server resets when its last client leaves, and
  // a window that connects during that reset finds no display.
  BackgroundRun server("exec Xvfb :" + std::to_string(display) +
                       " -screen 0 1024x768x24 -nolisten tcp -noreset");
  const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(socket) || !server.Running(); }, 10000));
  ASSERT_TRUE(server.Running()) << server.Wait().out;
  const std::string env = "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:" +
                          std::to_string(display) + " QT_LOGGING_RULES='*=false' ";

  dir.Write("MESSFILE.TXT", "OK");
  BackgroundRun run(In(env + "./flash app.mhx com1 no_reset"));
  ASSERT_TRUE(WaitFor([&] { return board->Stats().blocksProgrammed >= 2 || !run.Running(); }));
  ASSERT_TRUE(run.Running()) << run.Wait().out;
  run.Signal(SIGINT);
  ProgramRun r = run.Wait();
  EXPECT_EQ(r.status, 130) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "NG\r\nInterrupted by SIGINT");
  EXPECT_TRUE(PortFree());

  BackgroundRun idle(In(env + "./flash"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the window is up
  ASSERT_TRUE(idle.Running()) << idle.Wait().out;
  idle.Signal(SIGTERM);
  r = idle.Wait();
  EXPECT_EQ(r.status, 143) << r.out;
  server.Signal(SIGTERM);  // the server removes its socket and lock
  server.Wait();
}

// The same endings inside one process, where a test answers the questions.
struct SilentRig {
  SilentRig() {
    EXPECT_TRUE(rig.Use(kSimCatalogue, "DEMO_A", 0)) << rig.Error();
    rig.WriteControlProgram("DEMOA.CP", "DEMO_A");
    rig.state().unattendedResult = true;
    rig.dir.Write("app.mhx", SRecords(0x200, Data(0x1400, 1)));
    rig.state().hexFilePath = rig.dir.File("app.mhx");
  }
  std::string Result() { return rig.dir.Read("MESSFILE.TXT"); }
  SimRig rig;
};

TEST(SilentEndings, ACancelledResetPromptIsNamed) {
  SilentRig r;
  r.rig.dir.Write("MESSFILE.TXT", "OK");
  r.rig.ui.answers = {BoxAnswer::Cancel};
  OnDownload(r.rig.s());
  EXPECT_EQ(r.Result(), "NG\r\nIt was canceled");
  EXPECT_EQ(r.rig.board->Stats().bytesReceived, 0);
}

TEST(SilentEndings, ADeclinedCrcRetryIsNamedAndACopyLeavesNoFile) {
  SilentRig r;
  OnDownload(r.rig.s());
  ASSERT_EQ(r.Result(), "NG\r\nIt transferred a control program to the microcomputer");
  for (bool copy : {false, true}) {
    sim::Faults f;
    f.crcErrorBlock = 2 + r.rig.board->Stats().blocksRead;
    r.rig.board->SetFaults(f);
    r.rig.dir.Write("MESSFILE.TXT", "OK");
    r.rig.ui.answers = {BoxAnswer::No};
    r.rig.ui.saveAnswer = r.rig.dir.File("out.mhx");
    if (copy) OnCopy(r.rig.s());
    else OnReadCompare(r.rig.s());
    EXPECT_EQ(r.Result(), "NG\r\nIt was canceled") << (copy ? "copy" : "compare");
    EXPECT_EQ(r.rig.state().silentEnding, "It was canceled");
  }
  EXPECT_FALSE(r.rig.dir.Exists("out.mhx"));
}

// A pulled cable while the host waits for an answer: the read failure is
// reported once, and the command stops without a second report.
struct PulledCase {
  const char* name;
  void (*command)(Session&);
  long bytesBefore;  // what the board still takes before the cable comes off
};

class PulledCable : public ::testing::TestWithParam<PulledCase> {};

TEST_P(PulledCable, IsOneReadError) {
  SilentRig r;
  ASSERT_FALSE(RunDownload(r.rig.s(), false)) << r.rig.board->EventText();
  r.rig.state().reportTexts.clear();
  r.rig.board->PullCableAfter(GetParam().bytesBefore);
  r.rig.ui.saveAnswer = r.rig.dir.File("out.mhx");
  GetParam().command(r.rig.s());
  ASSERT_EQ(r.rig.state().reportTexts.size(), 1u) << ::testing::PrintToString(r.rig.state().reportTexts);
  EXPECT_NE(r.rig.state().reportTexts[0].find(" No.016 COM port read error"), std::string::npos)
      << r.rig.state().reportTexts[0];
  EXPECT_NE(r.Result().find(" No.016 COM port read error"), std::string::npos);
  EXPECT_FALSE(r.rig.link->IsOpen());
  EXPECT_FALSE(r.rig.dir.Exists("out.mhx"));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, PulledCable,
    ::testing::Values(PulledCase{"Program", OnProgramVerify, 5 + 514 + 5},  // a block, then the next command
                      PulledCase{"Compare", OnReadCompare, 5},
                      PulledCase{"Copy", OnCopy, 5},
                      PulledCase{"Erase", OnErase, 5 + 5},  // CR read, then the erase command
                      PulledCase{"BlankCheck", OnBlankCheck, 9}),
    [](const ::testing::TestParamInfo<PulledCase>& p) { return p.param.name; });

}  // namespace
}  // namespace flash::test
