#pragma once
// The command protocol of the running control program: answers, polls,
// block commands, erase, CR read and set, blank-check frame, block CRC.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "link/Protocol.h"

namespace flash {

struct Session;

struct PollOutcome {
  bool timedOut = false;
  bool cancelled = false;  // the progress dialog's button was pressed
  bool readFailed = false;  // a read call failed (218 reported, port closed)
  uint8_t answer = 0;
};

// How a command that waits for one answer ended.
enum class CommandOutcome : uint8_t {
  Done,       // answered '1'
  Refused,    // answered another byte, which the result holds
  TimedOut,   // no answer within the limit
  Cancelled,  // the progress dialog's button was pressed during the wait
  Failed,     // a write or read call failed (reported then), or a stop
};

struct CommandResult {
  CommandOutcome outcome = CommandOutcome::Failed;
  uint8_t answer = 0;  // the answer byte of Done and Refused
};

// The step a CR read failed in; the CR READ ERROR detail shows its number.
enum class CrReadResult : uint8_t {
  Ok = 0,
  NoDataMark = 1,  // a write failed, or no '0' came
  DataFailed = 2,  // the eight-byte read failed or brought fewer bytes
  NoClosing = 3,   // no closing byte
};

// Reads single bytes while they are 0x00 or '0', for at most limitSeconds
// whole seconds of wall-clock time (a limit of 5 ends when the clock has
// advanced six seconds), counted from when the bytes written before it left
// the port. With testCancel, the progress dialog's CheckCancel
// is asked after each read (when showDialogs is set). onSecond is called each
// time the count of elapsed whole seconds changes. A failed read ends the
// wait at once with readFailed.
PollOutcome PollAnswer(Session& s, int limitSeconds, bool testCancel = false,
                       const std::function<void(int elapsedSeconds)>& onSecond = {});

// 0x28 (read) or 0x08 (program) and the address; Done when the control
// program is ready for the data. The time-out is not reported; Cancelled
// only with the progress dialog's button. An answer 03H ends it as TimedOut,
// FFH as Failed.
CommandResult BlockCommand(Session& s, uint32_t address, bool read);
// 0x38 and the end of the first region, then up to 30 s with the bar stepped
// each second. TimedOut also for the control program's own time-out; any
// answer but '1' leaves the detail "ERASE ERROR MCU : %02XH". The time-out
// is not reported.
CommandResult EraseCommand(Session& s);
// 0x39 11 22 33 44; fills statusGroup1 and statusGroup2. Reports its own
// failures (203, 218).
CrReadResult ReadCrData(Session& s);
// 0x3A and the CR word to keep. Reports its own failures: 203 for no answer
// (Failed), 213 for an answer that was not '1' (Refused).
CommandResult SetCrData(Session& s);
// 0x48, start, end + 1 (nine bytes). False when a byte could not be written.
// end is the region's inclusive last address. Reports 216 through WriteByte.
bool SendBlankCheckFrame(Session& s, uint32_t start, uint32_t end);

// CRC-16/XMODEM (polynomial 1021H, initial 0, MSB first), bit by bit.
uint16_t BlockCrc(const uint8_t* data, std::size_t count);

}  // namespace flash
