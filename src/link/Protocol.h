#pragma once
// The two protocols on the link, every value once: the target's boot ROM,
// which loads the control program, and the control program's commands.
// Each value is what the target takes, sends or needs; a limit is how long
// the target may take to answer, in whole seconds of the wall clock.
#include <array>
#include <cstddef>
#include <cstdint>

namespace flash {

// ---- The boot ROM ----

// A boot frame: the command, the address and the length (four bytes each,
// least significant first), then the low byte of the sum of those nine.
inline constexpr std::size_t kBootFrameSize = 10;
inline constexpr uint8_t kBootSync = 0x18;   // a lone byte; answered once the ROM listens
inline constexpr uint8_t kBootData = 0x00;   // frame, then the bytes and their sum
inline constexpr uint8_t kBootStart = 0x40;  // frame of address 0, length 0: runs what was loaded

// The ROM answers a sync or a frame with the command's high nibble and a 1
// (sync 11H, data 01H). The start frame is answered by the control program
// it started, with its '1'.
constexpr uint8_t BootAnswer(uint8_t command) { return static_cast<uint8_t>((command & 0xF0) | 0x01); }

// The byte of the control program that the ROM loads with the crystal
// index; the control program sets its working rate from it.
inline constexpr std::size_t kCrystalIndexOffset = 7;

inline constexpr uint32_t kAfterResetMs = 1500;       // the board leaves reset and its ROM listens
inline constexpr uint32_t kBeforeRateChangeMs = 250;  // the control program switches its own rate first
inline constexpr uint32_t kAfterRateChangeMs = 250;   // both ends settle at the working rate
inline constexpr int kSyncAnswerSeconds = 1;          // the first sync, right after the reset
inline constexpr int kBootAnswerSeconds = 3;          // every later boot answer and the rate check

// ---- The control program ----

// Commands. An address or an end goes as four bytes, least significant first.
inline constexpr uint8_t kCmdProgramBlock = 0x08;  // + address; after '1' the block and its CRC
inline constexpr uint8_t kCmdReadBlock = 0x28;     // + address; after '1' the block, its CRC, an answer
inline constexpr uint8_t kCmdErase = 0x38;         // + the end of the first region
inline constexpr uint8_t kCmdCrRead = 0x39;        // + kCrReadKey; '0', the CR data, a closing byte
inline constexpr uint8_t kCmdCrSet = 0x3A;         // + the CR word to keep
inline constexpr uint8_t kCmdBlankCheck = 0x48;    // + start and end + 1 of one region
inline constexpr uint8_t kCmdRateCheck = 0xE8;     // the first byte at the working rate; answered '1'

// A CR read without these four bytes is not answered.
inline constexpr std::array<uint8_t, 4> kCrReadKey = {0x11, 0x22, 0x33, 0x44};
inline constexpr std::size_t kCrWordBytes = 4;
inline constexpr std::size_t kCrDataBytes = 2 * kCrWordBytes;  // the first CR word, then the second
// A CR word of erased flash: the word is not in use.
inline constexpr std::array<uint8_t, kCrWordBytes> kErasedCrWord = {0xFF, 0xFF, 0xFF, 0xFF};

// Answers, one ASCII digit each. A 00H is no answer yet and is passed over.
inline constexpr uint8_t kAnswerBusy = 0x30;      // '0': still working; to a CR read: the data follow
inline constexpr uint8_t kAnswerDone = 0x31;      // '1': done or accepted
inline constexpr uint8_t kAnswerTimedOut = 0x33;  // '3': to an erase, the control program's own time-out
inline constexpr uint8_t kAnswerFailed = 0x34;    // '4': not blank, a verify error, the erase failed
inline constexpr uint8_t kAnswerCrcError = 0x35;  // '5': the block's CRC was wrong; it may come again

// The report after a '4' to a blank check: the address, the flash value
// there, then one closing byte. After a '4' to a program block: the address,
// the file's value and the flash value, then one closing byte.
inline constexpr int kReportAddressBytes = 4;
inline constexpr int kNotBlankValueBytes = 4;
inline constexpr int kVerifyValueBytes = 2;

// A program or read block, and the same with its CRC-16 (high byte first).
inline constexpr std::size_t kBlockSize = 512;
inline constexpr std::size_t kBlockWithCrc = kBlockSize + 2;

inline constexpr int kBlockAnswerSeconds = 5;   // a block command, then the answer after its data
inline constexpr int kEraseAnswerSeconds = 30;  // a whole-chip erase
inline constexpr int kCrAnswerSeconds = 5;      // a CR read (in all) and a CR set
inline constexpr int kBlankAnswerSeconds = 10;  // the blank check of one region

}  // namespace flash
