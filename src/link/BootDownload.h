#pragma once
// Loading the control program through the target's boot ROM and moving the
// link to the working rate.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace flash {

struct Session;

// The whole wire sequence: control-program file (crystal-specific variant
// first, byte 7 := crystal index), boot port, reset prompt, sync, block,
// start, rate switch, first exchange at the working rate. True when the
// control program runs and answers; every failure has been reported (or was
// a Cancel at the reset prompt) when it returns false.
bool DownloadControlProgram(Session& s);

// Boot-ROM commands and the control program's rate-check command.
inline constexpr uint8_t kBootSync = 0x18;
inline constexpr uint8_t kBootData = 0x00;
inline constexpr uint8_t kBootStart = 0x40;
inline constexpr uint8_t kStartCheck = 0x30;  // answered 0x31, as the control program's "done"
inline constexpr uint8_t kRateCheck = 0xE8;
// The byte of the control program that carries the crystal index.
inline constexpr std::size_t kCrystalIndexOffset = 7;

// The control-program file the download would send: the crystal-specific
// variant "<DownloadFile>-<crystal>" when it exists, else DownloadFile itself,
// both resolved against programDir unless absolute.
std::string ControlProgramPath(const Session& s, const std::string& downloadFile);

// Reads the control program and patches byte 7. 0, or the message to report:
// 207 (cannot be opened), 220 (unreadable or shorter than 8 bytes), 227 (no memory).
int LoadControlProgram(const std::string& path, int crystalIndex, std::vector<uint8_t>* image);
// Opens the port at the boot rate of the selected crystal; reports failures.
bool OpenBootPort(Session& s);
// The ten-byte boot frame, then its answer. True means failed.
bool SendFrame(Session& s, uint8_t command, uint32_t address, uint32_t length);
// 0 accepted; 0xFF the header frame failed; 1 a data byte, the sum or the answer failed.
uint8_t SendBlock(Session& s, uint32_t address, const uint8_t* data, uint32_t length);
// The download step of the Download and Full Operation commands. True means failed.
bool RunDownload(Session& s, bool fullOperation);

}  // namespace flash
