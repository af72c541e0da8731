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
inline constexpr std::size_t kBlockSize = 512;
inline constexpr std::size_t kBlockWithCrc = kBlockSize + 2;

struct PollOutcome {
  bool timedOut = false;
  bool cancelled = false;  // the progress dialog's button was pressed
  uint8_t answer = 0;
};

// Reads single bytes while they are 0x00 or '0', for at most limitSeconds
// whole seconds of wall-clock time (a limit of 5 ends when the clock has
// advanced six seconds). With testCancel, the progress dialog's CheckCancel
// is asked after each read (when showDialogs is set). onSecond is called each
// time the count of elapsed whole seconds changes.
PollOutcome PollAnswer(Session& s, int limitSeconds, bool testCancel = false,
                       const std::function<void(int elapsedSeconds)>& onSecond = {});

// 0x28 (read) or 0x08 (program) and the address. Returns the answer ('1'
// ready), 3 on time-out, 0 when the user cancelled, 0xFF when a write failed.
uint8_t BlockCommand(Session& s, uint32_t address, bool read);
// 0x38 and the end of the first region, then up to 30 s with the bar stepped
// each second. The answer ('1' success), 3 on time-out, 0 when a write failed.
uint8_t EraseCommand(Session& s);
// 0x39 11 22 33 44; fills statusGroup1 and statusGroup2. 0 success, 1 a write
// failed or no '0' came, 2 the eight-byte read failed, 3 no closing byte.
uint8_t ReadCrData(Session& s);
// 0x3A and the CR word to keep. 0 success, 1 a write failed or no answer,
// else the answer that was not '1' (reported as 213).
uint8_t SetCrData(Session& s);
// 0x48, start, end + 1 (nine bytes). False when a byte could not be written.
bool SendBlankCheckFrame(Session& s, uint32_t start, uint32_t end);

// CRC-16/XMODEM (polynomial 1021H, initial 0, MSB first), bit by bit.
uint16_t BlockCrc(const uint8_t* data, std::size_t count);

}  // namespace flash
