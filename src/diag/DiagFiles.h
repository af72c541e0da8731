#pragma once
// The result file, the timing trace and the CRC test switch, all in the
// station directory (the program's directory unless that is not writable).
#include <cstdint>
#include <string>

#include "base/Clock.h"
#include "base/Messages.h"

namespace flash {

struct Session;

inline constexpr const char* kResultFile = "MESSFILE.TXT";
inline constexpr const char* kTimingFile = "TIMETEST.TXT";
inline constexpr const char* kCrcTestFile = "CRCTEST.TXT";

enum TimingOperation : int {
  TimingDownload = 0,
  TimingErase = 1,
  TimingBlank = 2,
  TimingProgram = 3,
  TimingRead = 4,
  TimingCopy = 5,
  TimingAuto = 6,
};

// Key of an operation in the timing trace ("ERACE" for Erase); empty for others.
const char* TimingKey(int operation);

// MESSFILE.TXT := "OK" for message 306, else "NG" and the text, with CR LF
// line ends on every platform, replaced whole. False (with resultFileFailed
// set and one line to the engineer saying why) when it cannot be written;
// the report goes on regardless.
bool WriteResultFile(Session& s, MessageId id, const std::string& text);

// An ending that reports nothing (a cancel, a refused prompt, an unexpected
// answer, a stop): remembered as the session's silentEnding and, in runs
// whose result file a script reads, written there as "NG" and the text.
void NoteSilentEnding(Session& s, const std::string& text);

// What a stop request names, for the result file and the engineer:
// "Interrupted by SIGINT", "Stopped: the window was closed".
std::string StopText(int reason);

// The bytes WriteResultFile stores.
std::string ResultFileContent(MessageId id, const std::string& text);

// Stores content as the result file at path, replaced whole; false with the
// reason when it cannot (a link or special file there is refused).
bool StoreResultFile(const std::string& path, const std::string& content, std::string* why);

// Stores endTime and, when TIMETEST.TXT exists, the elapsed time since
// startTime under the operation's key in the section "YYYYMMDD - DEVICE".
void WriteTimingTrace(Session& s, int operation);

// Elapsed time as "%d.%03d".
std::string ElapsedText(const WallTime& start, const WallTime& end);

// 1 about once in 128 calls while CRCTEST.TXT exists, else 0.
uint8_t CrcTestHit(Session& s);

// The classic C runtime generator: state = state * 214013 + 2531011,
// result (state >> 16) & 0x7FFF. The same sequence on every platform.
int NextCrtRandom(uint32_t& state);

}  // namespace flash
