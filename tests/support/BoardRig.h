#pragma once
// A session whose link ends in the simulated board, all in fake time: the
// board's answers arrive at the ticks it schedules them for, so waits of 30
// seconds cost nothing and time-outs are exact.
#include <memory>
#include <string>
#include <vector>

#include "sim/Board.h"
#include "support/FakeClock.h"
#include "support/LinkRig.h"

namespace flash::test {

// Three regions small enough to program quickly, two crystals.
inline constexpr const char* kOpsCatalogue =
    "[ops_chip]\r\n"
    "DownloadFile=ops.bin\r\n"
    "LoadAddress=0x1000\r\n"
    "StartAddress=00000000,00100000,00200000\r\n"
    "EndAddress=00001FFF,001000FF,00200FFF\r\n"
    "FlashSize=12\r\n"
    "Clock=4MHz,8MHz\r\n"
    "Baud=9600,19200\r\n";

class BoardRig {
 public:
  // Starts the session (catalogue above unless given), writes the control
  // program and puts a board of the selected device on the line.
  explicit BoardRig(std::vector<std::string> args = {}, const std::string& catalogue = kOpsCatalogue,
                    int crystal = 0);

  Session& s() { return rig.s(); }
  SessionState& state() { return rig.state(); }
  FakeFrontEnd& ui() { return rig.ui(); }
  FakeClock& clock() { return rig.clock(); }
  FakeLine& line() { return rig.line(); }
  TempDir& dir() { return rig.t->dir; }
  sim::Board& board() { return *board_; }

  // A hex file in the program directory, selected as the session's hex file.
  void UseHexFile(const std::string& name, const std::string& content);
  // Runs the download step so the control program runs; false when it failed.
  bool Download();

  LinkRig rig;

 private:
  std::unique_ptr<sim::Board> board_;
};

// An S-record file with data bytes at address (S3 records of 16 bytes).
std::string SRecords(uint32_t address, const std::vector<uint8_t>& data);

}  // namespace flash::test
