#pragma once
// What a production run adds to each board's command: a serial number taken
// from SERIAL.TXT into the image, and a record in the production log.
#include <optional>
#include <string>

#include "app/BoardRecord.h"
#include "cli/Cli.h"

namespace flash {
struct Session;
}

namespace flash::cli {

class Production {
 public:
  explicit Production(const Options& options) : options_(options) {}

  // Checks the run's serial number and log against the first board's
  // session before any board is touched: the number's place against the
  // device's regions, SERIAL.TXT (written first with --serial-start), the log
  // file. 0 when the run may go on; else the exit status, with the reason
  // printed (and in the result file when the log is at fault).
  int Prepare(Session& first);

  // The facts of one board's record, its clock started now.
  BoardFacts StartBoard(Session& s) const;

  // Takes the board's serial number (when the run writes them) and lays it
  // over the image its command loads. On failure the board must not run:
  // facts.failure says why, and facts.serial keeps a number that was taken.
  void TakeSerial(Session& s, BoardFacts& facts) const;

  // Ends the board's record (its seconds, the file's digest) and appends it
  // when the run keeps a log. False with the reason in why.
  // Safe to call from every board's worker at once.
  bool Record(Session& s, BoardFacts& facts, std::string& why) const;

 private:
  const Options& options_;
  std::string serialPath_;
  std::string logPath_;
  std::optional<std::string> digest_;  // of the input file, taken once
};

}  // namespace flash::cli
