#pragma once
// The production log: one JSON object a line (JSON Lines) for every board
// flashed, appended by every process that flashes on this machine.
#include <cstdint>
#include <optional>
#include <string>

#include "base/Clock.h"

namespace flash {

enum class LogResult { Ok, Negative, Fail };

// "ok", "negative" or "fail".
const char* LogResultText(LogResult result);

// One board's record; an absent optional is written as null.
struct LogRecord {
  std::string time;        // IsoTimeWithOffset of the start
  std::string host;        // HostName()
  std::string port;        // "COMn"
  std::string devicePath;  // the system's name for the port
  std::string device;
  std::string crystal;
  std::string command;
  std::optional<std::string> file;
  std::optional<std::string> fileSha256;
  std::optional<uint16_t> checksum;  // written as four upper-case hex digits
  std::optional<uint64_t> serial;
  LogResult result = LogResult::Fail;
  std::optional<int> messageId;
  std::optional<std::string> message;
  double seconds = 0;  // written with three decimals; null when not finite
  uint64_t bytes = 0;
};

// text as the inside of a JSON string. ", \ and the control characters are
// escaped (\r \n \t \b \f by name, the others as \u00XX); valid UTF-8 passes
// through as it is, and each byte that is no part of valid UTF-8 becomes
// \uFFFD, so the line is always valid JSON whatever the text held.
std::string JsonEscaped(const std::string& text);

// The record as one line of JSON ending in "\n", keys in this order: time,
// host, port, device_path, device, crystal, command, file, file_sha256,
// checksum, serial, result, message_id, message, seconds, bytes.
std::string FormatLogRecord(const LogRecord& record);

// The moment in local time with its offset from UTC, to the millisecond:
// "2026-12-09T14:03:07.123+01:00" (never "Z").
std::string IsoTimeWithOffset(const WallTime& when);

// The offset of local time from UTC at a moment, in seconds east of UTC,
// from the local calendar time alone (no platform call beyond LocalTime).
int64_t LocalOffsetSeconds(int64_t secondsSinceEpoch);

// The machine's name; "unknown" when the system does not tell it.
std::string HostName();

// Appends line to path (made with 0644 when missing) in one write, then
// flushes it to disk, so records from parallel threads and processes never
// mix. A symbolic link or anything but a regular file under the name is
// refused, like the program's other output files. False with the reason
// in error on any failure, a short write included.
bool AppendLogRecord(const std::string& path, const std::string& line, std::string& error);

}  // namespace flash
