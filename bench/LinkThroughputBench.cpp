// Program and read back a dense 256 KiB image against the simulated board
// on a pseudo-terminal, with the board pacing every byte at the line rate,
// and compare the payload rate with what the wire allows at that rate.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/Startup.h"
#include "base/Clock.h"
#include "base/Session.h"
#include "frontend/HeadlessFrontEnd.h"
#include "link/BootDownload.h"
#include "link/SerialLink.h"
#include "link/SystemPort.h"
#include "ops/Engines.h"
#include "ops/StandardOutlets.h"
#include "sim/Board.h"
#include "sim/ChipDefinition.h"
#include "sim/ControlProgram.h"
#include "sim/PtyServer.h"

namespace {

using namespace flash;

constexpr uint32_t kImageBytes = 256 * 1024;
// Bytes on the wire for one 512-byte block: command and address (5), ready
// answer (1), block and CRC (514), block answer (1).
constexpr double kWireBytesPerBlock = 5 + 1 + 514 + 1;
constexpr int kGoalRate = 1000000;
constexpr double kGoalShare = 0.95;

void WriteFile(const std::filesystem::path& p, const std::string& s) {
  std::ofstream(p, std::ios::binary) << s;
}

int RunAt(const std::filesystem::path& dir, int rate) {
  const std::string device = "BENCH";
  WriteFile(dir / "CHIPDEF.INI",
            "[BENCH]\r\nDownloadFile=bench.bin\r\nLoadAddress=0\r\nStartAddress=0\r\n"
            "EndAddress=3FFFF\r\nFlashSize=256\r\nClock=X\r\nBaud=115200\r\nBaud2=" +
                std::to_string(rate) + "\r\n");
  auto program = sim::MakeControlProgram(device, "");
  WriteFile(dir / "bench.bin", std::string(program.begin(), program.end()));
  const std::string catalog = (dir / "CHIPDEF.INI").string();
  std::string problem;
  auto config = sim::ConfigFromDefinition(sim::ReadChipDefinition(catalog, device), 0, &problem);
  if (!config) {
    std::fprintf(stderr, "bench: %s\n", problem.c_str());
    return 1;
  }
  config->realisticTiming = true;
  sim::PtyServer server(*config);
  if (!server.Start(&problem)) {
    std::fprintf(stderr, "bench: %s\n", problem.c_str());
    return 1;
  }
  WriteFile(dir / "Customize.ini", "[Ports]\r\nCOM1=" + server.SlavePath() + "\r\n");

  HeadlessFrontEnd ui(stderr, false);
  ui.SetShowProgress(false);
  SystemClock clock;
  const std::string programDir = dir.string() + "/";
  auto ports = MakeSystemPortFactory(programDir, clock);
  SerialLink link(*ports);
  // Unattended, without the reset prompt: the board starts in its boot ROM.
  Session s(ui, clock, link, CommandLine({"bench", "no_dialog", "no_reset"}), StandardOutlets());
  if (StartUp(s, programDir) != StartupStatus::Ok) return 1;
  if (RunDownload(s, false)) {
    std::fprintf(stderr, "bench: download failed: %s\n", s.state.lastReportText.c_str());
    return 1;
  }
  uint8_t* area = s.state.image.BaseArea();
  for (uint32_t i = 0; i < kImageBytes; ++i) area[i] = static_cast<uint8_t>(i * 7 + (i >> 9));

  auto timed = [&](const char* what, auto&& engine) {
    if (link.OpenPort(1, s.state.linkBaud) != 0) return -1.0;
    link.PurgePort();
    auto t0 = std::chrono::steady_clock::now();
    engine();
    auto t1 = std::chrono::steady_clock::now();
    link.ClosePort();
    double secs = std::chrono::duration<double>(t1 - t0).count();
    const double blocks = kImageBytes / 512.0;
    const double wireSecs = blocks * kWireBytesPerBlock * 10.0 / rate;
    std::printf("%-8s at %7d baud: %8.0f payload bytes/s in %6.2f s; wire limit %8.0f bytes/s; %5.1f %%  (%s)\n",
                what, rate, kImageBytes / secs, secs, kImageBytes / wireSecs,
                100.0 * wireSecs / secs, s.state.lastReportText.c_str());
    return secs;
  };
  const double programSecs = timed("program", [&] { ProgramFlash(s, false); });
  const bool programmed = s.state.lastReportId == msg::kProgrammed;
  timed("compare", [&] { CompareFlash(s); });
  server.Stop();
  int rc = programmed && s.state.lastReportId == 305 ? 0 : 1;
  // The goal at the fastest rate: the program command within 5 % of the wire.
  if (rate >= kGoalRate) {
    const double share = (kImageBytes / 512.0) * kWireBytesPerBlock * 10.0 / rate / programSecs;
    const bool met = programSecs > 0 && share >= kGoalShare;
    std::printf("goal: program at %d baud >= %.0f %% of the wire limit: %s\n", rate,
                100.0 * kGoalShare, met ? "pass" : "FAIL");
    if (!met) rc = 1;
  }
  return rc;
}

}  // namespace

int main() {
  auto dir = std::filesystem::temp_directory_path() / ("flashbench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  int rc = 0;
  for (int rate : {115200, 1000000}) rc |= RunAt(dir, rate);
  std::filesystem::remove_all(dir);
  return rc;
}
