// The boot-ROM download against a scripted boot ROM and control program.
#include <gtest/gtest.h>

#include "base/ProgressDialog.h"
#include "base/Session.h"
#include "link/BootDownload.h"
#include "link/SerialLink.h"
#include "support/LinkRig.h"

namespace flash::test {
namespace {

// Plays the target: the boot ROM's sync, header frame, program block and
// start frame, then the control program's rate check. Keeps what it got.
struct FakeTarget {
  enum Phase { Sync, Header, Program, Sync2, Start, RateCheck, Done } phase = Sync;
  std::vector<uint8_t> frame;
  std::vector<uint8_t> program;
  uint32_t length = 0;
  uint32_t address = 0;
  int programRate = 0;
  int rateCheckRate = 0;
  uint8_t startAnswer = 0x31;
  uint8_t headerAnswer = 0x01;

  void operator()(FakeLine& l, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) Take(l, b);
  }
  void Take(FakeLine& l, uint8_t b) {
    switch (phase) {
      case Sync:
      case Sync2:
        if (b == 0x18) {
          l.Send({0x00, 0x11}, 5, 5);  // a zero first: it must be skipped
          phase = phase == Sync ? Header : Start;
        }
        break;
      case Header:
      case Start:
        frame.push_back(b);
        if (frame.size() < 10) break;
        {
          uint8_t sum = 0;
          for (int i = 0; i < 9; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
          if (sum != frame[9]) return;  // silence: the host times out
          if (phase == Header) {
            address = frame[1] | frame[2] << 8 | frame[3] << 16 | static_cast<uint32_t>(frame[4]) << 24;
            length = frame[5] | frame[6] << 8 | frame[7] << 16 | static_cast<uint32_t>(frame[8]) << 24;
            l.Send({headerAnswer}, 5);
            phase = Program;
          } else {
            l.Send({startAnswer}, 5);
            phase = RateCheck;
          }
          frame.clear();
        }
        break;
      case Program:
        if (program.size() < length) {
          program.push_back(b);
          programRate = l.rate;
          break;
        }
        {
          uint8_t sum = 0;
          for (uint8_t p : program) sum = static_cast<uint8_t>(sum + p);
          if (sum == b) l.Send({0x01}, 5);
          phase = Sync2;
        }
        break;
      case RateCheck:
        if (b == 0xE8) {
          rateCheckRate = l.rate;
          l.Send({0x31}, 5);
          phase = Done;
        }
        break;
      case Done:
        break;
    }
  }
};

std::string Program(std::size_t size) {
  std::string p;
  for (std::size_t i = 0; i < size; ++i) p += static_cast<char>(0xA0 + i % 16);
  return p;
}

struct Rig : LinkRig {
  explicit Rig(std::vector<std::string> args = {"app.mhx", "no_reset"}) : LinkRig(std::move(args)) {
    line().responder = [this](FakeLine& l, const std::vector<uint8_t>& b) { target(l, b); };
  }
  FakeTarget target;
};

TEST(BootDownload, CrystalVariantAtBootRateThenWorkingRate) {
  Rig rig;
  rig.UseDemoChip("", 1);
  rig.t->dir.Write("demo.bin", Program(40));
  rig.t->dir.Write("demo.bin-8MHz", Program(64));
  ASSERT_TRUE(DownloadControlProgram(rig.s()));

  EXPECT_EQ(rig.state().controlProgramPath, rig.t->dir.File("demo.bin-8MHz"));
  ASSERT_EQ(rig.target.program.size(), 64u);
  EXPECT_EQ(rig.target.program[7], 0x01);  // the crystal index
  EXPECT_EQ(rig.target.program[8], static_cast<uint8_t>(0xA8));
  EXPECT_EQ(rig.target.address, 0x1000u);
  EXPECT_EQ(rig.target.programRate, 19200);
  EXPECT_EQ(rig.target.rateCheckRate, 38400);  // twice Baud without Baud2
  EXPECT_EQ(rig.state().linkBaud, 38400);
  EXPECT_EQ(rig.line().events, (std::vector<std::string>{"open 19200", "purge tx rx", "rate 38400"}));

  // The header frame with its sum, byte by byte.
  const std::vector<uint8_t> written = rig.line().Written();
  const std::vector<uint8_t> header(written.begin() + 1, written.begin() + 11);
  EXPECT_EQ(header, (std::vector<uint8_t>{0x00, 0x00, 0x10, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x50}));
  const std::vector<uint8_t> tail(written.end() - 12, written.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0x18, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xE8}));
  // Every command byte is its own write call.
  EXPECT_EQ(rig.line().writes.size(), written.size());
}

TEST(BootDownload, PlainFileWithoutVariantAndBaud2Rate) {
  Rig rig;
  rig.UseDemoChip("Baud2=57600,115200\r\n", 1);
  rig.t->dir.Write("demo.bin", Program(40));
  ASSERT_TRUE(DownloadControlProgram(rig.s()));
  EXPECT_EQ(rig.state().controlProgramPath, rig.t->dir.File("demo.bin"));
  EXPECT_EQ(rig.target.program[7], 0x01);
  EXPECT_EQ(rig.target.programRate, 19200);
  EXPECT_EQ(rig.target.rateCheckRate, 115200);
}

TEST(BootDownload, FixedDelaysComeFromTheClock) {
  Rig rig;
  rig.UseDemoChip();
  rig.t->dir.Write("demo.bin", Program(16));
  rig.line().paceWrites = false;
  ASSERT_TRUE(DownloadControlProgram(rig.s()));
  // 1500 ms after the reset, 250 ms before and after the rate change, and
  // the fake target's answer delays; nothing of it in real time.
  EXPECT_GE(rig.clock().TotalAdvancedMs(), 2000u);
  EXPECT_LT(rig.clock().TotalAdvancedMs(), 2200u);
  EXPECT_GE(rig.line().writes.front().tick, 1500u);
}

TEST(BootDownload, ResetPromptFollowsTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    bool prompt;
  };
  const Case cases[] = {
      {{}, true},
      {{"app.mhx"}, true},
      {{"app.mhx", "reset"}, true},
      {{"app.mhx", "no_dialog", "no_reset"}, false},
      {{"app.mhx", "NO_RESET", "reset"}, false},
      {{"app.mhx", "com2"}, true},  // neither word: asked, as with one argument
  };
  for (const Case& c : cases) {
    Rig rig(c.args);
    rig.UseDemoChip();
    rig.t->dir.Write("demo.bin", Program(16));
    ASSERT_TRUE(DownloadControlProgram(rig.s()));
    ASSERT_EQ(rig.ui().boxes.size(), c.prompt ? 1u : 0u) << c.args.size();
    if (c.prompt) {
      const MessageBoxRequest& b = rig.ui().boxes[0];
      EXPECT_EQ(b.text, "Please reset the microcontroller on userboard.\nThen push OK button.");
      EXPECT_EQ(b.caption, "flash");
      EXPECT_EQ(b.buttons, BoxButtons::OkCancel);
      EXPECT_EQ(b.icon, BoxIcon::Information);
    }
  }
}

TEST(RunDownload, CancelAtThePromptEndsSilentlyWithThePortClosed) {
  Rig rig(std::vector<std::string>{});
  rig.UseDemoChip();
  rig.t->dir.Write("demo.bin", Program(16));
  rig.ui().answers = {BoxAnswer::Cancel};
  EXPECT_TRUE(RunDownload(rig.s(), false));
  EXPECT_EQ(rig.ui().boxes.size(), 1u);  // the prompt only
  EXPECT_EQ(rig.state().lastReportId, 0);
  EXPECT_FALSE(rig.s().link.IsOpen());
  EXPECT_FALSE(rig.state().controlProgramRunning);
  EXPECT_TRUE(rig.line().Written().empty());
}

TEST(RunDownload, SuccessReportsEnablesAndStepsTheBarToSeven) {
  Rig rig;
  rig.UseDemoChip();
  rig.t->dir.Write("demo.bin", Program(16));
  rig.state().progressDialog = std::make_unique<ProgressDialog>(8);
  ASSERT_TRUE(rig.state().progressDialog->Open(rig.ui()));
  EXPECT_FALSE(RunDownload(rig.s(), false));
  EXPECT_EQ(rig.state().lastReportId, 307);
  EXPECT_TRUE(rig.state().controlProgramRunning);
  EXPECT_EQ(rig.state().operationTitle, " Downloading");
  auto& calls = rig.ui().progress.back()->calls;
  EXPECT_NE(std::find(calls.begin(), calls.end(), "caption:7 / 7"), calls.end());
  EXPECT_EQ(rig.state().progressDialog->Position(), 0);
}

TEST(RunDownload, FullOperationTitleAndNoReport) {
  Rig rig;
  rig.UseDemoChip();
  rig.t->dir.Write("demo.bin", Program(16));
  EXPECT_FALSE(RunDownload(rig.s(), true));
  EXPECT_EQ(rig.state().operationTitle, "Full Operation -  Downloading");
  EXPECT_EQ(rig.state().lastReportId, 0);
  EXPECT_TRUE(rig.state().controlProgramRunning);
  EXPECT_TRUE(rig.s().link.IsOpen());  // the flash steps go on at the working rate
}

TEST(RunDownload, Failures) {
  struct Case {
    const char* name;
    std::size_t fileSize;  // 0: no file at all
    std::function<void(Rig&)> arrange;
    int reportId;
    bool anythingSent;
    const char* detail;
  };
  const Case cases[] = {
      {"missing control program", 0, nullptr, 207, false, nullptr},
      {"control program shorter than 8 bytes", 7, nullptr, 220, false, nullptr},
      {"port held by another program", 16, [](Rig& r) { r.line().refuseOpen = true; }, 206, false, nullptr},
      {"settings refused", 16, [](Rig& r) { r.line().configureResult = 211; }, 211, false, nullptr},
      {"start frame answered 41H", 16, [](Rig& r) { r.target.startAnswer = 0x41; }, 201, true, "MCU : 41H"},
      {"header frame refused", 16, [](Rig& r) { r.target.headerAnswer = 0x07; }, 201, true, "MCU : 07H"},
      {"rate change refused", 16, [](Rig& r) { r.line().setRateResult = 211; }, 211, true, nullptr},
      {"board never reset", 16, [](Rig& r) { r.line().responder = nullptr; }, 203, true, nullptr},
      {"cable pulled", 16, [](Rig& r) { r.line().failWriteCall = 20; }, 216, true, nullptr},
  };
  for (const Case& c : cases) {
    Rig rig(std::vector<std::string>{});
    rig.UseDemoChip();
    if (c.fileSize) rig.t->dir.Write("demo.bin", Program(c.fileSize));
    if (c.arrange) c.arrange(rig);
    EXPECT_TRUE(RunDownload(rig.s(), false)) << c.name;
    EXPECT_EQ(rig.state().lastReportId, c.reportId) << c.name;
    EXPECT_EQ(!rig.line().Written().empty(), c.anythingSent) << c.name;
    EXPECT_FALSE(rig.s().link.IsOpen()) << c.name;
    EXPECT_FALSE(rig.state().controlProgramRunning) << c.name;
    if (c.detail) {
      const std::string& text = rig.ui().boxes.back().text;
      EXPECT_NE(text.find(c.detail), std::string::npos) << c.name << ": " << text;
    }
  }
}

}  // namespace
}  // namespace flash::test
