#pragma once
// The production log's record of one board's command, built from the
// session the command ran in.
#include <cstdint>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "diag/ProductionLog.h"

namespace flash {

struct Session;

// What the record says beyond the session, known to the caller alone.
struct BoardFacts {
  std::string command;  // the flashcli command name, "full" for the unattended run
  WallTime start;
  double seconds = 0;
  std::optional<std::string> file;  // full path
  std::optional<std::string> fileSha256;
  std::optional<uint64_t> serial;
  // Why the board failed before its command ran (its serial number would not
  // fit, the counter could not be read); empty when the command ran.
  std::string failure;
};

// The log a run appends to: given (flashcli's --log, made absolute by the
// caller), else key File of section [Log] of Customize.ini, taken relative to
// the program's directory; empty for none.
std::string ProductionLogPath(const Session& s, const std::optional<std::string>& given);

// The record of the board s drives, after its command or after a failure
// named in facts. The checksum covers the image the command loaded (its
// patch included), and is absent when no file was loaded whole.
LogRecord BoardRecord(const Session& s, const BoardFacts& facts);

// Whether a record could be appended to the log at path now (it is made when
// missing): a run asks before it touches a board, so that no board is
// flashed without its record. False with the reason in why.
bool LogIsWritable(const std::string& path, std::string& why);

// Appends the record of BoardRecord(s, facts) to the log at path. False with
// the reason in why: the board then counts as failed.
bool AppendBoardRecord(const std::string& path, const Session& s, const BoardFacts& facts,
                       std::string& why);

// The SHA-256 of path for the record; absent when the file cannot be read
// (the command itself then tells why).
std::optional<std::string> FileDigest(const std::string& path);

}  // namespace flash
