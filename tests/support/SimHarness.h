#pragma once
// A simulated board on a pseudo-terminal inside the test process, for
// end-to-end tests: start it, point COMn of a program directory at it, preset
// and inspect its flash, set faults, pull its cable, stop it.
//
//   SimHarness sim(t.dir.File("CHIPDEF.INI"), "DEMO_CHIP");
//   ASSERT_TRUE(sim.Start()) << sim.Error();
//   ASSERT_TRUE(sim.PointCom(t.dir.Path(), 1));
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Session.h"
#include "link/Port.h"
#include "link/SerialLink.h"
#include "sim/Board.h"
#include "support/FakeFrontEnd.h"
#include "support/SkippingClock.h"
#include "support/TempDir.h"

namespace flash::sim {
class PtyServer;
}

namespace flash::test {

// Erase time of a harness board unless a test asks for another: short, but
// long enough that the host sees busy answers.
inline constexpr int64_t kHarnessEraseMs = 300;

class SimHarness {
 public:
  // The board of a catalogue section; crystal is the one really on the board.
  SimHarness(const std::string& catalogPath, const std::string& device, std::size_t crystal = 0);
  explicit SimHarness(sim::BoardConfig config);
  ~SimHarness();
  SimHarness(const SimHarness&) = delete;
  SimHarness& operator=(const SimHarness&) = delete;

  // Opens the pty and starts serving. False with the reason in Error().
  bool Start();
  void Stop();
  const std::string& Error() const { return error_; }
  const std::string& SlavePath() const;

  // Section "Ports", key "COM<n>" of Customize.ini in programDir := the slave.
  bool PointCom(const std::string& programDir, int comNumber = 1);

  // The flash, read and preset without the programming rule.
  std::vector<uint8_t> ReadFlash(uint32_t address, std::size_t count);
  void WriteFlash(uint32_t address, const std::vector<uint8_t>& bytes);
  void FillFlashPattern();
  void EraseFlash();
  std::array<uint8_t, 8> Cr();
  void SetCr(const std::array<uint8_t, 8>& cr);

  void SetFaults(const sim::Faults& faults);
  void SetEraseMs(int64_t ms);
  void Reset();  // the reset button
  void PullCable();
  // Pulls the cable once the board has received this many more bytes.
  void PullCableAfter(long bytesReceived);

  sim::BoardMode Mode();
  int Rate();
  std::vector<uint8_t> LoadedProgram();
  std::string HangReason();
  sim::BoardStats Stats();
  // What the board did, one line per event, for failure messages.
  std::vector<std::string> Events();
  std::string EventText();

  // Anything else, on the board while it is held still.
  template <class F>
  auto WithBoard(F&& f);

 private:
  std::unique_ptr<sim::PtyServer> server_;
  std::shared_ptr<std::vector<std::string>> events_;
  std::string error_;
};

// A whole end-to-end setting: a program directory with a catalogue, a core
// session over the machine's real serial ports with the skipping clock, and a
// board on a pseudo-terminal that COM1 names.
//
//   SimRig rig;
//   ASSERT_TRUE(rig.Use(kSimCatalogue, "DEMO_A", 1)) << rig.Error();
//   rig.WriteControlProgram("DEMOA.CP", "DEMO_A");
//   EXPECT_FALSE(RunDownload(rig.s(), false));
struct SimRig {
  explicit SimRig(std::vector<std::string> args = {});
  ~SimRig();

  // Writes CHIPDEF.INI, selects device and crystal as the window would, and
  // starts a board for that device carrying boardCrystal (default: the same
  // crystal) with COM1 pointing at it. False with the reason in Error().
  bool Use(const std::string& catalogue, const std::string& device, int crystal,
           std::optional<std::size_t> boardCrystal = std::nullopt);
  // A control-program file the board accepts, in the program directory.
  void WriteControlProgram(const std::string& fileName, const std::string& device,
                           const std::string& forCrystal = "", std::size_t size = 1024);
  std::string Error() const;

  Session& s() { return *session; }
  SessionState& state() { return session->state; }

  TempDir dir;
  FakeFrontEnd ui;
  SkippingClock clock;
  std::unique_ptr<PortFactory> ports;
  std::unique_ptr<SerialLink> link;
  std::unique_ptr<Session> session;
  std::unique_ptr<SimHarness> board;

 private:
  std::string error_;
};

// DEMO_A: two regions, crystals 4MHz and 8MHz, Baud 9600,19200 (working
// rate doubled). DEMO_B: one region with a Baud2 list.
inline constexpr const char* kSimCatalogue =
    "[DEMO_A]\r\n"
    "DownloadFile=DEMOA.CP\r\n"
    "LoadAddress=0x00001000\r\n"
    "StartAddress=00000000,00100000\r\n"
    "EndAddress=0000FFFF,00100FFF\r\n"
    "FlashSize=68\r\n"
    "Clock=4MHz,8MHz\r\n"
    "Baud=9600,19200\r\n"
    "[DEMO_B]\r\n"
    "DownloadFile=DEMOB.CP\r\n"
    "LoadAddress=0x00002000\r\n"
    "StartAddress=00000000\r\n"
    "EndAddress=0001FFFF\r\n"
    "FlashSize=128\r\n"
    "Clock=10MHz,12.5MHz,20MHz\r\n"
    "Baud=9600,9600,19200\r\n"
    "Baud2=57600,76800,115200\r\n";

}  // namespace flash::test

#include "sim/PtyServer.h"

namespace flash::test {
template <class F>
auto SimHarness::WithBoard(F&& f) {
  return server_->WithBoard(std::forward<F>(f));
}
}  // namespace flash::test
