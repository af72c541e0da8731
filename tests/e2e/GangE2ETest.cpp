// Several boards at once from one flashcli: four simulated boards on four
// pseudo-terminals behind COM1 to COM4.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "support/GangRig.h"

namespace flash::test {
namespace {

using Gang = GangTest;

TEST_F(Gang, AFaultyBoardFailsAloneAndIsNamedInTheResultFile) {
  sim::Faults f;
  f.verifyErrorAt = 0x0500;
  StartBoards(4, 2, f);
  ProgramRun r = Cli("--port COM1,COM2,COM3,COM4 full app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  for (int i : {0, 1, 3}) EXPECT_TRUE(Programmed(i)) << "board " << i + 1 << r.out;
  EXPECT_FALSE(Programmed(2));

  const std::string result = dir.Read("MESSFILE.TXT");
  EXPECT_EQ(result.rfind("NG\r\nCOM3: ERROR !!", 0), 0u) << result;
  EXPECT_NE(result.find("No.013 Program error"), std::string::npos) << result;
  EXPECT_NE(result.find("ErrorAddress : 0x00000500"), std::string::npos) << result;
  // One line for the one board, its own line breaks made blanks.
  EXPECT_EQ(result.find("\r\n", 4), result.size() - 2) << result;
  EXPECT_EQ(result.find("COM1"), std::string::npos);

  // Off a terminal: one line per board as it ends, then the summary in port order.
  const auto summary = r.out.find("port    result");
  ASSERT_NE(summary, std::string::npos) << r.out;
  const auto com1 = r.out.find("COM1 ", summary);
  const auto com2 = r.out.find("COM2 ", summary);
  const auto com4 = r.out.find("COM4 ", summary);
  EXPECT_TRUE(com1 < com2 && com2 < com4) << r.out;
  EXPECT_NE(r.out.find("It ended normally completely"), std::string::npos);
}

TEST_F(Gang, EveryBoardOkWritesOk) {
  StartBoards();
  ASSERT_EQ(Cli("--port COM1,COM2,COM3,COM4 full app.mhx").status, 0);
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "OK");
  // The check afterwards on all boards: identical everywhere.
  ProgramRun r = Cli("--port COM1,COM2,COM3,COM4 compare app.mhx");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "OK");
}

TEST_F(Gang, OnlyNegativeChecksGiveStatusThree) {
  StartBoards();
  ASSERT_EQ(Cli("--port COM1,COM2,COM3,COM4 full app.mhx").status, 0);
  boards[1]->WriteFlash(0x0410, {0x00});
  ProgramRun r = Cli("--port COM1,COM2,COM3,COM4 compare app.mhx");
  EXPECT_EQ(r.status, 3) << r.out;
  const std::string result = dir.Read("MESSFILE.TXT");
  EXPECT_EQ(result.rfind("NG\r\nCOM2: ", 0), 0u) << result;
  EXPECT_EQ(result.find("COM1"), std::string::npos) << result;

  // A board that cannot even be reached is a failure, whatever the others found.
  r = Cli("--port COM1,COM2,COM9 compare app.mhx");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(dir.Read("MESSFILE.TXT").find("COM9: "), std::string::npos);
}

TEST_F(Gang, BadPortListsAreUsageErrors) {
  for (const char* ports : {"COM1,,COM2", "COM1,com1", "COM1,", "COM1,LPT2"}) {
    ProgramRun r = Cli(std::string("--port ") + ports + " erase");
    EXPECT_EQ(r.status, 2) << ports << "\n" << r.out;
  }
  ProgramRun r = Cli("--port COM1,COM2 copy out.mhx");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.out.find("one --port"), std::string::npos) << r.out;
  EXPECT_FALSE(dir.Exists("out.mhx"));
}

TEST_F(Gang, DevicePathsNameBoardsByTheirComAndOneDeviceIsOneBoard) {
  StartBoards(2);
  // The first board by its device; [Ports] maps it to COM1, which names it.
  ProgramRun r = Cli("--port " + boards[0]->SlavePath() + ",COM2 download");
  EXPECT_EQ(r.status, 0) << r.out;
  const auto summary = r.out.find("port    result");
  ASSERT_NE(summary, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("COM1 ", summary), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(boards[0]->SlavePath(), summary), std::string::npos) << r.out;

  const int syncs = boards[0]->Stats().syncs;
  r = Cli("--port COM1," + boards[0]->SlavePath() + " download");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.out.find("is named twice (COM1 leads to "), std::string::npos) << r.out;
  EXPECT_EQ(boards[0]->Stats().syncs, syncs);  // nothing sent
}

TEST_F(Gang, EveryBoardsLinkTraceLinesStayWhole) {
  StartBoards();
  dir.Write("LINKTRACE.TXT", "");
  ASSERT_EQ(Cli("--port COM1,COM2,COM3,COM4 full app.mhx").status, 0);
  const std::string trace = dir.Read("LINKTRACE.TXT");
  ASSERT_GT(trace.size(), 4u * 8192) << "too short to cross a stream buffer";
  ASSERT_EQ(trace.substr(trace.size() - 2), "\r\n");
  // Each line is one board's: time, COMn, rate, then the event. Another
  // board's bytes cutting into a line leave a line that starts otherwise, or
  // one that holds a second head.
  const std::regex shape(R"(^\d\d:\d\d:\d\d\.\d{3} COM([1-4]) \d+ [<>A-Za-z-])");
  std::set<std::string> ports;
  std::size_t lines = 0;
  for (std::size_t at = 0; at < trace.size();) {
    const std::size_t end = trace.find("\r\n", at);
    const std::string line = trace.substr(at, end - at);
    std::smatch m;
    const std::string head = line.substr(0, 40);
    ASSERT_TRUE(std::regex_search(head, m, shape)) << "line " << lines + 1 << ": " << line;
    EXPECT_EQ(line.find(" COM", 13), std::string::npos) << "line " << lines + 1 << ": " << line;
    ports.insert(m[1]);
    ++lines;
    at = end + 2;
  }
  EXPECT_EQ(ports.size(), 4u);
}

}  // namespace
}  // namespace flash::test
