#pragma once
// flashsim's command line: what board to play, how, and which faults to show.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/Board.h"

namespace flash::sim {

enum class InitialFlash { Blank, Pattern, File };

struct SimOptions {
  std::string catalogue = "CHIPDEF.INI";
  std::string device;  // empty: the first complete device of the catalogue
  std::size_t crystal = 0;
  std::string linkPath;
  bool realisticTiming = false;
  int64_t eraseMs = kDefaultEraseUs / 1000;
  InitialFlash initial = InitialFlash::Blank;
  std::string initialFile;
  std::string saveFile;
  std::optional<std::array<uint8_t, 8>> cr;
  Faults faults;
  long pullCableAfter = -1;
  bool quiet = false;
  bool help = false;
  // --make-control-program: write a control-program file and stop.
  std::string makeProgram;
  std::string programCrystal;
  std::size_t programSize = 1024;
};

// Nothing, with the reason in *error, when an option is unknown or malformed.
std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string* error);

// The --help text.
std::string SimUsage();

// The board the options describe, from the catalogue section they name.
std::optional<BoardConfig> BoardConfigFor(const SimOptions& options, std::string* error);
// Puts the initial flash content the options ask for into the board.
bool ApplyInitialFlash(Board& board, const SimOptions& options, std::string* error);
// The flash as --save-flash writes it. False, with the reason, when it cannot be written.
bool SaveFlash(const Board& board, const std::string& path, std::string* error);
// The control-program file --make-control-program writes.
bool WriteControlProgram(const SimOptions& options, std::string* error);

}  // namespace flash::sim
