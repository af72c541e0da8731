#pragma once
// The command protocol of the running control program: answers, polls,
// block commands, erase, CR read and set, blank-check frame, block CRC.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace flash {

struct Session;

inline constexpr uint8_t kAnswerBusy = 0x30;  // '0': still working
inline constexpr uint8_t kAnswerDone = 0x31;  // '1': done or accepted
inline constexpr uint8_t kAnswerNotBlank = 0x34;  // '4'
inline constexpr uint8_t kAnswerCrcError = 0x35;  // '5'
inline constexpr uint8_t kCmdProgramBlock = 0x08;
inline constexpr uint8_t kCmdReadBlock = 0x28;
inline constexpr uint8_t kCmdErase = 0x38;
inline constexpr uint8_t kCmdCrRead = 0x39;
inline constexpr uint8_t kCmdCrSet = 0x3A;
inline constexpr uint8_t kCmdBlankCheck = 0x48;
// Answer limits of the control program, in whole seconds of the wall clock.
inline constexpr int kBlockAnswerSeconds = 5;   // program/read block command and data answers
inline constexpr int kEraseAnswerSeconds = 30;  // a whole-chip erase
inline constexpr int kCrAnswerSeconds = 5;      // CR read (in all) and CR set
inline constexpr int kBlankAnswerSeconds = 10;  // blank check of one region
inline constexpr std::size_t kBlockSize = 512;
inline constexpr std::size_t kBlockWithCrc = kBlockSize + 2;

struct PollOutcome {
  bool timedOut = false;
  bool cancelled = false;  // the progress dialog's button was pressed
  bool readFailed = false;  // a read call failed (218 reported, port closed)
  uint8_t answer = 0;
};

// Reads single bytes while they are 0x00 or '0', for at most limitSeconds
// whole seconds of wall-clock time (a limit of 5 ends when the clock has
// advanced six seconds). With testCancel, the progress dialog's CheckCancel
// is asked after each read (when showDialogs is set). onSecond is called each
// time the count of elapsed whole seconds changes. A failed read ends the
// wait at once with readFailed.
PollOutcome PollAnswer(Session& s, int limitSeconds, bool testCancel = false,
                       const std::function<void(int elapsedSeconds)>& onSecond = {});

// 0x28 (read) or 0x08 (program) and the address. Returns the answer ('1'
// ready), 3 on time-out, 0 when the user cancelled, 0xFF when a write or a
// read call failed (already reported then).
uint8_t BlockCommand(Session& s, uint32_t address, bool read);
// 0x38 and the end of the first region, then up to 30 s with the bar stepped
// each second. The answer ('1' success), 3 on time-out, 0 when a write or a
// read call failed (already reported then).
uint8_t EraseCommand(Session& s);
// 0x39 11 22 33 44; fills statusGroup1 and statusGroup2. 0 success, 1 a write
// failed or no '0' came, 2 the eight-byte read failed or brought fewer than
// eight bytes, 3 no closing byte. Reports its own failures (203, 218).
uint8_t ReadCrData(Session& s);
// 0x3A and the CR word to keep. 0 success, 1 a write failed or no answer,
// else the answer that was not '1' (reported as 213). Reports 203 itself.
uint8_t SetCrData(Session& s);
// 0x48, start, end + 1 (nine bytes). False when a byte could not be written.
// end is the region's inclusive last address. Reports 216 through WriteByte.
bool SendBlankCheckFrame(Session& s, uint32_t start, uint32_t end);

// CRC-16/XMODEM (polynomial 1021H, initial 0, MSB first), bit by bit.
uint16_t BlockCrc(const uint8_t* data, std::size_t count);

}  // namespace flash
