// flashsim serving several boards at once: -n, --board sections, and the
// program itself on three pseudo-terminals.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "sim/HostTerminal.h"
#include "sim/Options.h"
#include "support/ProgramRun.h"
#include "support/SimHarness.h"
#include "support/TempDir.h"

namespace flash::sim::test {
namespace {

using flash::test::BackgroundRun;
using flash::test::TempDir;

SimOptions Parsed(const std::vector<std::string>& args) {
  std::string error;
  auto o = ParseSimOptions(args, &error);
  EXPECT_TRUE(o) << error;
  return o ? *o : SimOptions{};
}

TEST(SimOptions, OneBoardUnlessAskedForMore) {
  SimOptions o = Parsed({"-l", "/tmp/ttyBOARD", "--verify-error", "1000"});
  EXPECT_EQ(o.boards, 1);
  EXPECT_EQ(LinkForBoard(o, 1), "/tmp/ttyBOARD");
  EXPECT_EQ(OptionsForBoard(o, 1).faults.verifyErrorAt, 0x1000u);
  // A section for the one board there is is no error.
  o = Parsed({"--board", "1", "--never-reset"});
  EXPECT_TRUE(OptionsForBoard(o, 1).faults.neverReset);
}

TEST(SimOptions, LinksOfSeveralBoardsAreNumbered) {
  SimOptions o = Parsed({"-n", "4", "-l", "/tmp/x/ttyBOARD"});
  EXPECT_EQ(o.boards, 4);
  EXPECT_EQ(LinkForBoard(o, 1), "/tmp/x/ttyBOARD1");
  EXPECT_EQ(LinkForBoard(o, 4), "/tmp/x/ttyBOARD4");
  EXPECT_EQ(LinkForBoard(Parsed({"--boards", "2"}), 2), "");
}

TEST(SimOptions, BoardSectionsAddToWhatEveryBoardHas) {
  SimOptions o = Parsed({"--no-answer", "38", "-e", "300", "--board", "2", "--no-answer", "E8", "-x", "1",
                         "--board", "3", "--verify-error", "0x1000", "-n", "3", "-l", "/tmp/b",
                         "--board", "2", "--pull-cable-after", "10"});
  EXPECT_EQ(o.linkPath, "/tmp/b") << "the link stays global inside a section";
  BoardOptions one = OptionsForBoard(o, 1), two = OptionsForBoard(o, 2), three = OptionsForBoard(o, 3);
  EXPECT_EQ(one.faults.silentCommands, std::set<uint8_t>{0x38});
  EXPECT_EQ(two.faults.silentCommands, (std::set<uint8_t>{0x38, 0xE8}));
  EXPECT_EQ(three.faults.silentCommands, std::set<uint8_t>{0x38});
  EXPECT_EQ(one.crystal, 0u);
  EXPECT_EQ(two.crystal, 1u);
  EXPECT_EQ(two.eraseMs, 300);
  EXPECT_EQ(three.eraseMs, 300);
  EXPECT_FALSE(one.faults.verifyErrorAt);
  EXPECT_FALSE(two.faults.verifyErrorAt);
  EXPECT_EQ(three.faults.verifyErrorAt, 0x1000u);
  EXPECT_EQ(one.pullCableAfter, -1);
  EXPECT_EQ(two.pullCableAfter, 10) << "a section read again goes on where it stopped";
  EXPECT_EQ(three.pullCableAfter, -1);
}

TEST(SimOptions, ASaveFileForEveryBoardIsNumbered) {
  SimOptions o = Parsed({"-n", "3", "-s", "flash.bin", "--board", "3", "-s", "third.bin"});
  EXPECT_EQ(OptionsForBoard(o, 1).saveFile, "flash.bin1");
  EXPECT_EQ(OptionsForBoard(o, 2).saveFile, "flash.bin2");
  EXPECT_EQ(OptionsForBoard(o, 3).saveFile, "third.bin");
  EXPECT_EQ(OptionsForBoard(Parsed({"-s", "flash.bin"}), 1).saveFile, "flash.bin");
}

TEST(SimOptions, BoardCountsAndNumbersOutOfRangeAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"-n", "0"},          {"-n", "65"},      {"--boards", "x"},   {"-n"},
      {"--board", "0"},     {"--board", "65"}, {"--board"},         {"--board", "2"},
      {"-n", "3", "--board", "4"},             {"--board", "4", "-n", "3"},
  };
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(ParseSimOptions(args, &error)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_TRUE(ParseSimOptions({"-n", "64", "--board", "64"}, &error)) << error;
  ParseSimOptions({"-n", "3", "--board", "4"}, &error);
  EXPECT_EQ(error, "--board 4 names no board: there are 3 boards (see -n)");
}

// Waits for the links a starting flashsim makes; false when they do not come.
bool LinksAppear(const std::vector<std::string>& links, BackgroundRun& run) {
  for (int i = 0; i < kAnswerWaitMs / 10; ++i) {
    bool all = true;
    for (const std::string& link : links) all = all && std::filesystem::is_symlink(link);
    if (all) return true;
    if (!run.Running()) return false;
    ::usleep(10'000);
  }
  return false;
}

// flashsim for DEMO_A started in dir with the links dir/ttyBOARDk and these options.
std::string SimCommand(const TempDir& dir, const std::string& options) {
  dir.Write("CHIPDEF.INI", flash::test::kSimCatalogue);
  const std::string program = flash::test::InstallProgram(dir, "flashsim");
  return "cd '" + dir.Path() + "' && exec '" + program + "' -d DEMO_A -l '" + dir.File("ttyBOARD") +
         "' " + options;
}

TEST(SimBoards, ThreeBoardsWithAFaultOnTheSecondOnly) {
  if (!flash::test::ProgramBuilt("flashsim")) GTEST_SKIP() << "flashsim is not built";
  TempDir dir;
  BackgroundRun run(SimCommand(dir, "-n 3 --board 2 --wrong-answer 18=12"));
  ASSERT_TRUE(run.Started());
  const std::vector<std::string> links = {dir.File("ttyBOARD1"), dir.File("ttyBOARD2"),
                                          dir.File("ttyBOARD3")};
  ASSERT_TRUE(LinksAppear(links, run)) << run.Wait().out;
  EXPECT_FALSE(std::filesystem::exists(dir.File("ttyBOARD"))) << "several boards: numbered links only";

  std::set<std::string> slaves;
  for (std::size_t k = 0; k < links.size(); ++k) {
    slaves.insert(std::filesystem::read_symlink(links[k]).string());
    HostTerminal host(links[k], 9600);  // DEMO_A, crystal 0: boot rate 9600
    ASSERT_GE(host.fd, 0) << links[k];
    ASSERT_TRUE(host.Write({kBootSync}));
    const uint8_t expected = k == 1 ? 0x12 : kBootSyncAnswer;
    EXPECT_EQ(host.Read(1), std::vector<uint8_t>{expected}) << "board " << k + 1;
  }
  EXPECT_EQ(slaves.size(), 3u) << "each board has a terminal of its own";

  run.Signal(SIGTERM);
  flash::test::ProgramRun r = run.Wait();
  EXPECT_EQ(r.status, 0) << r.out;
  for (const std::string& link : links) EXPECT_FALSE(std::filesystem::is_symlink(link)) << link;
  // The line naming the link, once for each board, in board order.
  std::size_t at = 0;
  for (const std::string& link : links) {
    at = r.out.find(" (" + link + "); Ctrl+C ends it", at);
    EXPECT_NE(at, std::string::npos) << link << " in:\n" << r.out;
  }
  EXPECT_NE(r.out.find("flashsim: board 2: fault: answering 12H instead of 11H to 18H"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("board 1:"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("board 3:"), std::string::npos) << r.out;
}

TEST(SimBoards, APulledCableTakesOnlyItsOwnBoardOff) {
  if (!flash::test::ProgramBuilt("flashsim")) GTEST_SKIP() << "flashsim is not built";
  TempDir dir;
  BackgroundRun run(SimCommand(dir, "-n 2 --board 1 --pull-cable-after 1"));
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(LinksAppear({dir.File("ttyBOARD1"), dir.File("ttyBOARD2")}, run)) << run.Wait().out;
  {
    HostTerminal first(dir.File("ttyBOARD1"), 9600);
    ASSERT_GE(first.fd, 0);
    ASSERT_TRUE(first.Write({kBootSync}));
    EXPECT_TRUE(first.Read(1).empty()) << "the cable came off with the first byte";
  }
  EXPECT_TRUE(run.Running()) << "the other board still serves";
  HostTerminal second(dir.File("ttyBOARD2"), 9600);
  ASSERT_GE(second.fd, 0);
  ASSERT_TRUE(second.Write({kBootSync}));
  EXPECT_EQ(second.Read(1), std::vector<uint8_t>{kBootSyncAnswer});
  run.Signal(SIGTERM);
  flash::test::ProgramRun r = run.Wait();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("flashsim: board 1: the cable was pulled"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("board 2: the cable"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace flash::sim::test
