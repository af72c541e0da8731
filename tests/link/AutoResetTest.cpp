// The board's automatic reset over DTR and RTS, in process and in fake time:
// the simulated board sits behind a port whose modem lines drive its reset
// and boot-mode pins, and enters its boot ROM only when a reset pulse ends
// with the boot mode selected.
#include <gtest/gtest.h>

#include <memory>

#include "app/Startup.h"
#include "base/Catalogue.h"
#include "base/Profile.h"
#include "link/BootDownload.h"
#include "link/ResetSequence.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"
#include "sim/Board.h"
#include "sim/ChipDefinition.h"
#include "sim/ControlProgram.h"
#include "support/BoardRig.h"
#include "support/FakePort.h"
#include "support/TestSession.h"

namespace flash::test {
namespace {

struct LineCall {
  ModemLine line;
  bool on;
  uint32_t tick;
};

// The board's pins on the adapter's lines: DTR off holds RESET low, RTS on
// selects the boot ROM. A reset of at least kMinPulseMs that ends while RTS
// is on starts the boot ROM; one that ends with RTS off starts what the
// board ran before.
struct ResetWiring {
  static constexpr uint32_t kMinPulseMs = 20;
  sim::Board* board = nullptr;
  FakeClock* clock = nullptr;
  bool hasModemLines = true;
  bool dtr = true;
  bool rts = true;
  uint32_t resetSince = 0;
  int bootRomStarts = 0;
  std::vector<LineCall> calls;

  bool Set(ModemLine line, bool on) {
    if (!hasModemLines) return false;
    const uint32_t now = clock->TickMs();
    calls.push_back({line, on, now});
    if (line == ModemLine::Rts) {
      rts = on;
      return true;
    }
    if (dtr && !on) resetSince = now;
    if (!dtr && on && now - resetSince >= kMinPulseMs && rts) {
      board->Reset();
      ++bootRomStarts;
    }
    dtr = on;
    return true;
  }
};

class WiredPort final : public Port {
 public:
  WiredPort(std::unique_ptr<Port> inner, ResetWiring& wiring)
      : inner_(std::move(inner)), wiring_(wiring) {}
  MessageId Configure(int rate) override { return inner_->Configure(rate); }
  MessageId SetBaudRate(int rate) override { return inner_->SetBaudRate(rate); }
  bool Write(const uint8_t* d, std::size_t n) override { return inner_->Write(d, n); }
  bool Read(uint8_t* b, std::size_t n, std::size_t* got) override {
    return inner_->Read(b, n, got);
  }
  void Purge(bool tx, bool rx) override { inner_->Purge(tx, rx); }
  uint32_t TakeLineErrors() override { return inner_->TakeLineErrors(); }
  bool Drain(uint32_t* leftAt) override { return inner_->Drain(leftAt); }
  bool SetModemLine(ModemLine line, bool on) override { return wiring_.Set(line, on); }

 private:
  std::unique_ptr<Port> inner_;
  ResetWiring& wiring_;
};

class WiredFactory final : public PortFactory {
 public:
  explicit WiredFactory(ResetWiring& wiring) : wiring_(wiring) {}
  std::unique_ptr<Port> Open(int com, std::string* reason) override {
    auto port = fake.Open(com, reason);
    return port ? std::make_unique<WiredPort>(std::move(port), wiring_) : nullptr;
  }
  FakePortFactory fake;

 private:
  ResetWiring& wiring_;
};

// A board running a control program from an earlier download, which talk at
// the boot rate no longer resets: only the wiring can.
class AutoReset : public ::testing::Test {
 protected:
  void SetUp() override {
    t = std::make_unique<TestSession>(std::vector<std::string>{"app.mhx", "no_reset"}, &ports);
    ports.fake.Bind(t->clock);
    t->dir.Write("CHIPDEF.INI", kOpsCatalogue);
    StartUp(s(), t->dir.Path());
    const DeviceDefinition def = SelectedDevice(s());
    const std::vector<uint8_t> program = sim::MakeControlProgram(def.name, "");
    t->dir.Write(def.downloadFile, std::string(program.begin(), program.end()));
    std::string problem;
    auto config = sim::ConfigFromDefinition(
        sim::ReadChipDefinition(s().state.catalogPath, def.name), 0, &problem);
    board = std::make_unique<sim::Board>(*config);
    wiring.board = board.get();
    wiring.clock = &t->clock;
    sim::Board* b = board.get();
    line().responder = [b](FakeLine& l, const std::vector<uint8_t>& bytes) {
      b->Receive(bytes.data(), bytes.size(), l.rate, static_cast<int64_t>(l.clock().TickMs()) * 1000);
      while (auto due = b->NextDueUs())
        for (uint8_t byte : b->TakeDue(*due, l.rate)) l.SendAt(static_cast<uint32_t>(*due / 1000), byte);
    };
    ASSERT_TRUE(DownloadControlProgram(s()));
    s().link.ClosePort();
    sim::Faults f;
    f.neverReset = true;
    board->SetFaults(f);
    wiring.calls.clear();
    line().writes.clear();
  }
  Session& s() { return t->session; }
  FakeLine& line() { return *ports.fake.line; }
  void Configure(const std::string& section) {
    t->dir.Write("Customize.ini", "[Reset]\r\n" + section);
    s().profiles = profile::Cache();
  }
  bool Download() {
    const bool ok = DownloadControlProgram(s());
    s().link.ClosePort();
    return ok;
  }

  ResetWiring wiring;
  WiredFactory ports{wiring};
  std::unique_ptr<TestSession> t;
  std::unique_ptr<sim::Board> board;
};

TEST_F(AutoReset, WithoutASequenceTheRunningBoardIsNotReachedAndNoLineMoves) {
  EXPECT_FALSE(Download());
  EXPECT_TRUE(wiring.calls.empty());
  EXPECT_EQ(wiring.bootRomStarts, 0);
}

TEST_F(AutoReset, TheSequenceResetsTheBoardThenTheDownloadWaitsItsUsualTime) {
  Configure("Sequence=D0R1W100D1R0W50\r\n");
  ASSERT_TRUE(Download()) << s().state.silentEnding << s().state.lastReportText;
  EXPECT_EQ(wiring.bootRomStarts, 1);
  EXPECT_TRUE(t->ui.boxes.empty());  // no hand, no prompt
  // The steps in order, then both lines back on as the port's settings hold them.
  ASSERT_EQ(wiring.calls.size(), 6u);
  const std::vector<std::pair<ModemLine, bool>> want = {
      {ModemLine::Dtr, false}, {ModemLine::Rts, true}, {ModemLine::Dtr, true},
      {ModemLine::Rts, false}, {ModemLine::Dtr, true}, {ModemLine::Rts, true}};
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(wiring.calls[i].line, want[i].first) << i;
    EXPECT_EQ(wiring.calls[i].on, want[i].second) << i;
  }
  EXPECT_EQ(wiring.calls[2].tick - wiring.calls[1].tick, 100u);
  EXPECT_EQ(wiring.calls[4].tick - wiring.calls[3].tick, 50u);
  // The first sync byte after the 1,500 ms that follow a reset.
  ASSERT_FALSE(line().writes.empty());
  EXPECT_GE(line().writes.front().tick, wiring.calls.back().tick + 1500u);
}

TEST_F(AutoReset, ThePortsOwnKeyWinsAndTheCommandLineWinsOverBoth) {
  // For every port a sequence that releases the reset in run mode.
  Configure("Sequence=R0D0W100D1\r\nCOM1=D0W100D1\r\n");
  EXPECT_TRUE(Download());
  EXPECT_EQ(wiring.bootRomStarts, 1);

  Configure("COM1=R0D0W100D1\r\n");
  s().args.SetResetSequence("d0 r1 w30 d1");  // case and blanks do not matter
  EXPECT_TRUE(Download());
  EXPECT_EQ(wiring.bootRomStarts, 2);

  // A pulse released in run mode leaves the board where it was: no answer.
  s().args.SetResetSequence("R0D0W100D1");
  EXPECT_FALSE(Download());
  EXPECT_EQ(wiring.bootRomStarts, 2);
  EXPECT_EQ(s().state.lastReportId, msg::kTimeout);
}

TEST_F(AutoReset, ABadSequenceOrAPortWithoutLinesEndsBeforeAnyByteIsSent) {
  struct Case {
    const char* section;
    bool lines;
    const char* says;
  };
  const Case cases[] = {
      {"Sequence=D0R1W100X1\r\n", true, "'X' at position 9 is none of D, R and W"},
      {"COM1=W20000\r\n", true, "W waits at most 10000 ms"},
      {"Sequence=D0R1W100D1R0W50\r\n", false, "and COM1 has no modem lines"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    Configure(c.section);
    wiring.hasModemLines = c.lines;
    t->ui.boxes.clear();
    line().writes.clear();
    EXPECT_FALSE(Download());
    EXPECT_TRUE(line().writes.empty());
    EXPECT_EQ(wiring.bootRomStarts, 0);
    EXPECT_NE(s().state.silentEnding.find(c.says), std::string::npos) << s().state.silentEnding;
    ASSERT_EQ(t->ui.boxes.size(), 1u);
    EXPECT_EQ(t->ui.boxes[0].text, s().state.silentEnding);
    EXPECT_EQ(t->ui.boxes[0].icon, BoxIcon::Stop);
  }
}

TEST_F(AutoReset, AnEraseThatTakesTheControlProgramReloadsItByTheSequence) {
  // no_reset alone keeps the erased program away; a sequence needs no hand.
  Configure("Sequence=D0W30D1\r\n");
  ASSERT_TRUE(Download());
  board->Cr() = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  const int started = board->Stats().programsStarted;
  OnErase(s());
  EXPECT_EQ(s().state.lastReportId, msg::kErased) << s().state.lastReportText;
  EXPECT_EQ(board->Stats().programsStarted, started + 1);
  EXPECT_EQ(wiring.bootRomStarts, 2);
  EXPECT_TRUE(t->ui.boxes.empty() || t->ui.boxes.back().text.find("reset the") == std::string::npos);
}

TEST(ResetSequence, ReadsEveryStepAndRefusesWhatIsNone) {
  std::vector<ResetStep> steps;
  std::string error;
  ASSERT_TRUE(ParseResetSequence("D0R1W100D1R0W50", steps, error)) << error;
  const std::vector<ResetStep> want = {
      {ResetStep::Kind::Dtr, 0}, {ResetStep::Kind::Rts, 1},  {ResetStep::Kind::Wait, 100},
      {ResetStep::Kind::Dtr, 1}, {ResetStep::Kind::Rts, 0}, {ResetStep::Kind::Wait, 50}};
  EXPECT_EQ(steps, want);
  ASSERT_TRUE(ParseResetSequence(" w0 W10000 ", steps, error));
  EXPECT_EQ(steps.back().value, 10000u);
  for (const char* bad : {"", "   ", "D", "D01", "D2", "R", "W", "W10001", "W99999999999999999999",
                          "D0,R1", "D-1", "X"}) {
    steps = want;
    EXPECT_FALSE(ParseResetSequence(bad, steps, error)) << bad;
    EXPECT_EQ(steps, want) << "untouched: " << bad;
    EXPECT_NE(error.find("reset sequence"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace flash::test
