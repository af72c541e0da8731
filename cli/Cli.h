#pragma once
// flashcli's subcommands register themselves here; main() dispatches.
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/SerialPatch.h"

namespace flash::cli {

// Exit statuses of flashcli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNegative = 3;  // a check ran to its end and found a difference

// Options common to every subcommand, taken from the command line.
struct Options {
  std::vector<std::string> positional;  // the subcommand's own arguments
  std::optional<std::string> device;
  std::optional<std::string> crystal;
  std::optional<std::string> port;  // "COMn"
  std::optional<std::string> fill;
  std::optional<bool> reset;
  bool intelHex = false;
  bool trace = false;
  std::string command;                // the subcommand's name
  std::optional<SerialSpec> serial;   // --serial: a number into each board
  std::optional<uint64_t> serialStart;  // --serial-start: SERIAL.TXT := N first
  std::optional<std::string> log;     // --log: the production log, made absolute
  std::optional<std::string> resetSequence;  // --reset-sequence: DTR and RTS reset the board
};

struct Command {
  const char* name;
  const char* synopsis;  // arguments, for the usage text
  const char* summary;
  int minArgs;
  int maxArgs;
  std::function<int(const Options&)> run;
};

// Adds a subcommand; used by the static Registration objects of each file.
void Register(Command command);
const std::vector<Command>& Commands();

struct Registration {
  explicit Registration(Command command) { Register(std::move(command)); }
};

// "flashcli: " + text on standard error; returns kExitUsage.
int UsageError(const std::string& text);

}  // namespace flash::cli
