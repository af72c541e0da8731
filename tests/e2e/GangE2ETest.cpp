// Several boards at once from one flashcli: four simulated boards on four
// pseudo-terminals behind COM1 to COM4.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <regex>
#include <set>
#include <thread>

#include "support/GangRig.h"
#include "support/Pty.h"

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

TEST_F(Gang, OnATerminalEachBoardKeepsOneLiveLineThenTheSummaryFollows) {
  StartBoards();
  Pty term;
  ASSERT_FALSE(term.slavePath.empty());
  // The screen is read while the run draws on it, as a terminal would.
  std::string screen;
  std::atomic<bool> over{false};
  std::thread reader([&] {
    char buf[4096];
    for (bool last = false; !last;) {
      last = over.load();
      pollfd p{term.master, POLLIN, 0};
      while (poll(&p, 1, last ? 0 : 50) > 0) {
        const ssize_t n = read(term.master, buf, sizeof buf);
        if (n <= 0) break;
        screen.append(buf, static_cast<std::size_t>(n));
      }
    }
  });
  ProgramRun r = Cli("--port COM1,COM2,COM3,COM4 full app.mhx >" + term.slavePath);
  over = true;
  reader.join();
  ASSERT_EQ(r.status, 0) << r.out << screen;

  // Redrawn in place: the cursor goes back up over the four lines.
  const std::size_t lastDraw = screen.rfind("\033[4A");
  ASSERT_NE(lastDraw, std::string::npos) << screen;
  // While the boards ran, each line showed its board's phase and share.
  const std::regex running(R"(COM([1-4]) +[^\r\n]*[0-9]+%)");
  std::set<std::string> seen;
  for (auto it = std::sregex_iterator(screen.begin(), screen.begin() + lastDraw, running);
       it != std::sregex_iterator(); ++it)
    seen.insert((*it)[1]);
  EXPECT_EQ(seen.size(), 4u) << screen;
  // The last drawing holds the four ends in port order.
  const std::size_t summary = screen.find("port    result", lastDraw);
  ASSERT_NE(summary, std::string::npos) << screen;
  std::string lines = R"(\x1b\[4A)";
  for (const char* port : {"COM1", "COM2", "COM3", "COM4"})
    lines += std::string(R"(\r\x1b\[K)") + port + R"( +It ended normally completely \([0-9.]+ s\)\r?\n)";
  EXPECT_TRUE(std::regex_search(screen.substr(lastDraw, summary - lastDraw), std::regex("^" + lines)))
      << screen.substr(lastDraw);
  // Every drawing is the four lines and nothing else: a board that printed a
  // line of its own as it ended would push the drawing out of place.
  std::string drawn = screen.substr(0, summary);
  ASSERT_EQ(drawn.substr(drawn.size() - 2), "\r\n");
  drawn.resize(drawn.size() - 2);
  const std::regex drawing(R"((\r\x1b\[KCOM[1-4][^\r\n]*\r\n){4})");
  std::size_t drawings = 0;
  for (std::size_t from = 0; from <= drawn.size(); ++drawings) {
    const std::size_t up = drawn.find("\x1b[4A", from);
    const std::size_t to = up == std::string::npos ? drawn.size() : up;
    EXPECT_TRUE(std::regex_match(drawn.substr(from, to - from), drawing))
        << "drawing " << drawings + 1 << ": " << drawn.substr(from, to - from);
    from = to + 4;
  }
  EXPECT_GE(drawings, 2u);
}

}  // namespace
}  // namespace flash::test
