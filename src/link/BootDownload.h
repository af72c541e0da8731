#pragma once
// Loading the control program through the target's boot ROM and moving the
// link to the working rate.
#include <cstdint>

namespace flash {

struct Session;

// The whole wire sequence: control-program file (crystal-specific variant
// first, byte 7 := crystal index), boot port, reset prompt, sync, block,
// start, rate switch, first exchange at the working rate. True when the
// control program runs and answers; every failure has been reported (or was
// a Cancel at the reset prompt) when it returns false.
bool DownloadControlProgram(Session& s);
// Opens the port at the boot rate of the selected crystal; reports failures.
bool OpenBootPort(Session& s);
// The ten-byte boot frame, then its answer. True means failed.
bool SendFrame(Session& s, uint8_t command, uint32_t address, uint32_t length);
// 0 accepted; 0xFF the header frame failed; 1 a data byte, the sum or the answer failed.
uint8_t SendBlock(Session& s, uint32_t address, const uint8_t* data, uint32_t length);
// The download step of the Download and Full Operation commands. True means failed.
bool RunDownload(Session& s, bool fullOperation);

}  // namespace flash
