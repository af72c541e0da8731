#pragma once
// The simulated target board: boot ROM, control program and flash, as a state
// machine with no terminal in it. It is fed the bytes the host wrote together
// with the rate the host has set on its line and the time they were read, and
// it produces the bytes it answers, each with the time it may leave. The pty
// runner serves it in real time; unit tests drive it directly.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/ChipDefinition.h"
#include "sim/ControlProgram.h"
#include "sim/FlashModel.h"

namespace flash::sim {

// Boot ROM frames and answers.
inline constexpr uint8_t kBootSync = 0x18;
inline constexpr uint8_t kBootSyncAnswer = 0x11;
inline constexpr uint8_t kBootData = 0x00;
inline constexpr uint8_t kBootDataAnswer = 0x01;
inline constexpr uint8_t kBootStart = 0x40;
inline constexpr uint8_t kBootNak = 0x15;  // a frame or block the ROM refuses
inline constexpr std::size_t kBootFrameSize = 10;

// Control-program commands and answers.
inline constexpr uint8_t kCmdRateCheck = 0xE8;
inline constexpr uint8_t kCmdProgram = 0x08;
inline constexpr uint8_t kCmdRead = 0x28;
inline constexpr uint8_t kCmdErase = 0x38;
inline constexpr uint8_t kCmdCrRead = 0x39;
inline constexpr uint8_t kCmdCrSet = 0x3A;
inline constexpr uint8_t kCmdBlankCheck = 0x48;
inline constexpr uint8_t kBusy = '0';
inline constexpr uint8_t kDone = '1';
inline constexpr uint8_t kBadAddress = '2';  // not inside the flash
inline constexpr uint8_t kFailed = '4';      // not blank, verify error, CR full
inline constexpr uint8_t kCrcMismatch = '5';
inline constexpr std::size_t kDataBlock = 512;

// The RAM the boot ROM may load a control program into.
inline constexpr uint32_t kMaxControlProgram = 64 * 1024;
// A message whose bytes stop coming for this long is dropped half-read, so a
// host that gave up mid-command cannot leave the board waiting for ever.
inline constexpr int64_t kMessageGapUs = 1'000'000;
// How often the control program says '0' (busy) while it erases.
inline constexpr int64_t kBusyIntervalUs = 250'000;
// Erase time when nothing else is asked for: long enough to see busy answers.
inline constexpr int64_t kDefaultEraseUs = 2'000'000;

struct Faults {
  std::set<uint8_t> silentCommands;          // never answered
  std::map<uint8_t, uint8_t> wrongAnswers;   // command -> the byte answered instead
  int crcErrorBlock = 0;  // the n-th program block (from 1) is answered '5', the n-th read block goes out with a bad CRC
  std::optional<uint32_t> verifyErrorAt;     // this byte never programs right
  bool timingLimitOver = false;              // a verify error then reports FFFF and FFFF
  std::optional<uint32_t> notBlankAt;        // this byte reads 00H after every erase
  int lineErrorBlock = 0;  // the n-th read block has one byte hit by line noise
  bool neverReset = false; // the user never presses reset when asked
};

struct BoardConfig {
  std::string device;
  uint32_t loadAddress = 0;
  std::vector<Region> regions;
  std::vector<std::string> clocks;
  std::vector<int> bootRates;     // per crystal
  std::vector<int> workingRates;  // per crystal
  std::size_t crystal = 0;        // the crystal really on the board
  bool realisticTiming = false;
  int64_t eraseUs = kDefaultEraseUs;
  std::array<uint8_t, 8> cr = {0x5A, 0xA5, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF};
  Faults faults;
};

// Largest flash the board simulates, so a catalogue typo cannot eat the memory.
inline constexpr std::size_t kMaxFlashBytes = 64u * 1024 * 1024;

// The board for a catalogue section, with the crystal the board carries.
// Nothing, with the reason in *problem, when the section cannot be simulated.
std::optional<BoardConfig> ConfigFromDefinition(const ChipDefinition& def, std::size_t crystal,
                                                std::string* problem);

enum class BoardMode { BootRom, ControlProgram, Hung };

struct BoardStats {
  int syncs = 0;
  int programsStarted = 0;
  int rateChecks = 0;
  int programAttempts = 0;  // program data blocks received, good or not
  int blocksProgrammed = 0;
  int blocksRead = 0;
  int erases = 0;
  int blankChecks = 0;
  int crReads = 0;
  int crSets = 0;
  int resets = 0;
  int bytesReceived = 0;
  int bytesLost = 0;  // dropped by the board's UART: framing errors from a wrong rate
};

// CRC-16/XMODEM as the control program computes it.
uint16_t Crc16Xmodem(const uint8_t* data, std::size_t count);

class Board {
 public:
  explicit Board(BoardConfig config);

  // Bytes the host wrote, read at nowUs while the host's line was at hostRate.
  void Receive(const uint8_t* data, std::size_t count, int hostRate, int64_t nowUs);
  // The bytes due by nowUs, as a UART at hostRate receives them.
  std::vector<uint8_t> TakeDue(int64_t nowUs, int hostRate);
  // When the next byte is due; nothing when none is queued.
  std::optional<int64_t> NextDueUs() const;

  // The reset button: back to the boot ROM, queued answers dropped.
  void Reset();

  BoardMode Mode() const { return mode_; }
  // The rate the board's UART runs at now.
  int Rate() const;
  const BoardConfig& Config() const { return config_; }
  FlashModel& Flash() { return flash_; }
  const FlashModel& Flash() const { return flash_; }
  std::array<uint8_t, 8>& Cr() { return cr_; }
  // The control program last loaded, byte 7 as the host patched it.
  const std::vector<uint8_t>& LoadedProgram() const { return program_; }
  std::optional<ControlProgramInfo> RunningProgram() const { return running_; }
  // Why the last started program hung; empty when it runs.
  const std::string& HangReason() const { return hangReason_; }
  const BoardStats& Stats() const { return stats_; }
  void SetFaults(const Faults& faults) { config_.faults = faults; }
  void SetEraseUs(int64_t us) { config_.eraseUs = us; }
  // One line per event worth telling the person running the simulator.
  void SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

 private:
  struct OutByte {
    uint8_t value;
    int rate;
    int64_t dueUs;
  };

  void ByteIn(uint8_t b, int64_t atUs);
  void BootByte(uint8_t b, int64_t atUs);
  void BootFrame(int64_t atUs);
  void StartProgram();
  void ProgramByte(uint8_t b, int64_t atUs);
  void Command(int64_t atUs);
  void ProgramData(int64_t atUs);
  void ReadBlock(uint32_t address, int64_t atUs);
  void Erase(int64_t atUs);
  void BlankCheck(uint32_t start, uint32_t endExclusive, int64_t atUs);
  // The answer to a command, through the fault table. False when the command
  // goes no further: unanswered, or refused with a wrong byte.
  bool Answer(uint8_t command, std::vector<uint8_t> bytes, int64_t atUs);
  void Emit(const std::vector<uint8_t>& bytes, int64_t atUs);
  int64_t ByteUs() const;
  void Log(const std::string& line) const;

  BoardConfig config_;
  FlashModel flash_;
  std::array<uint8_t, 8> cr_;
  BoardMode mode_ = BoardMode::BootRom;
  BoardStats stats_;

  // Boot ROM.
  bool synced_ = false;
  bool loading_ = false;
  uint32_t loadAddress_ = 0;
  uint32_t loadLength_ = 0;
  std::vector<uint8_t> program_;
  std::optional<ControlProgramInfo> running_;
  std::string hangReason_;

  // Both: the message being received and when its last byte came.
  std::vector<uint8_t> message_;
  int64_t lastByteUs_ = 0;
  int64_t busyUntilUs_ = 0;
  int64_t inWireFreeUs_ = 0;

  // Control program.
  uint8_t command_ = 0;
  std::size_t paramsWanted_ = 0;
  bool awaitingBlock_ = false;
  uint32_t blockAddress_ = 0;
  int readBlocksSent_ = 0;

  std::deque<OutByte> out_;
  int64_t outWireFreeUs_ = 0;
  std::function<void(const std::string&)> log_;
};

}  // namespace flash::sim
