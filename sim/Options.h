#pragma once
// flashsim's command line: what boards to play, how, and which faults to show.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/Board.h"

namespace flash::sim {

enum class InitialFlash { Blank, Pattern, File };

// Most boards a line may serve at once.
inline constexpr int kMaxBoards = 64;

// What one board is and does; a --board section sets these for one board alone.
struct BoardOptions {
  std::size_t crystal = 0;
  bool realisticTiming = false;
  int64_t eraseMs = kDefaultEraseUs / 1000;
  InitialFlash initial = InitialFlash::Blank;
  std::string initialFile;
  std::string saveFile;
  std::optional<std::array<uint8_t, 8>> cr;
  Faults faults;
  long pullCableAfter = -1;
};

// The board options given before any --board stand in the base: they are
// every board's.
struct SimOptions : BoardOptions {
  std::string catalogue = "CHIPDEF.INI";
  std::string device;  // empty: the first complete device of the catalogue
  std::string linkPath;
  int boards = 1;
  // Board number (from 1) -> its options: every board's, then its section's.
  std::map<int, BoardOptions> sections;
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

// The options of board (from 1). With several boards a --save-flash file
// given for every board gets the board number, so none overwrites another.
BoardOptions OptionsForBoard(const SimOptions& options, int board);
// The link of board: the --link path itself for one board, else the path
// followed by the board number. Empty without --link.
std::string LinkForBoard(const SimOptions& options, int board);

// The board the options describe, from the catalogue section they name.
std::optional<BoardConfig> BoardConfigFor(const SimOptions& options, std::string* error, int board = 1);
// Puts the initial flash content the options ask for into the board.
bool ApplyInitialFlash(Board& board, const BoardOptions& options, std::string* error);
// The flash as --save-flash writes it. False, with the reason, when it cannot be written.
bool SaveFlash(const Board& board, const std::string& path, std::string* error);
// The control-program file --make-control-program writes.
bool WriteControlProgram(const SimOptions& options, std::string* error);

}  // namespace flash::sim
