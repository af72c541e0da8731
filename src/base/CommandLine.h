#pragma once
// The program's arguments: the hex file first, then keywords in any order.
#include <optional>
#include <string>
#include <vector>

namespace flash {

class CommandLine {
 public:
  CommandLine() = default;
  explicit CommandLine(std::vector<std::string> args) : args_(std::move(args)) {}

  const std::vector<std::string>& Args() const { return args_; }
  // At least one argument: one unattended Full Operation, then the program ends.
  bool BatchMode() const { return !args_.empty(); }
  // Argument 1, the hex file of this run.
  std::optional<std::string> HexFile() const;
  // "no_dialog" among arguments 2 and later.
  bool NoDialog() const;
  // With two or more arguments the command line alone chooses the port: the
  // index of the first of com1..com64 equal to argument 2 or 3, else 0.
  // Nothing with fewer arguments (Customize.ini decides).
  std::optional<int> PortIndex() const;
  // Whether the user is asked to reset the board before a connection (and, the
  // same decision, whether Erase may reconnect). Asked unless the first of the
  // words "reset" and "no_reset" among arguments 2 and later is "no_reset".
  bool ResetPrompt() const;
  // flashcli's --reset / --no-reset decide without making the run unattended.
  void SetResetPrompt(bool prompt) { resetOverride_ = prompt; }
  // flashcli's --reset-sequence: the board's automatic reset for this run,
  // in place of what Customize.ini configures.
  const std::optional<std::string>& ResetSequence() const { return resetSequence_; }
  void SetResetSequence(std::string sequence) { resetSequence_ = std::move(sequence); }

 private:
  std::vector<std::string> args_;
  std::optional<bool> resetOverride_;
  std::optional<std::string> resetSequence_;
};

}  // namespace flash
