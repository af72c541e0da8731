#pragma once
// Loading the control program through the target's boot ROM and moving the
// link to the working rate.
#include <cstdint>
#include <string>
#include <vector>

#include "base/FrontEnd.h"

namespace flash {

struct Session;

// The box that asks the user to reset the board into its boot ROM (OK goes on).
MessageBoxRequest ResetPrompt(BoxOwner owner);

// The whole wire sequence: control-program file (crystal-specific variant
// first, byte 7 := crystal index), boot port, reset prompt, sync, block,
// start, rate switch, first exchange at the working rate. True when the
// control program runs and answers; every failure has been reported (or was
// a Cancel at the reset prompt) when it returns false.
bool DownloadControlProgram(Session& s);

// The control-program file the download would send: the crystal-specific
// variant "<DownloadFile>-<crystal>" when it exists, else DownloadFile itself,
// looked for in the station directory first, then in programDir, unless absolute.
std::string ControlProgramPath(const Session& s, const std::string& downloadFile);

// Reads the control program and patches byte 7. 0, or the message to report:
// 207 (cannot be opened), 220 (unreadable or shorter than 8 bytes), 227 (no memory).
int LoadControlProgram(const std::string& path, int crystalIndex, std::vector<uint8_t>* image);
// Opens the port at the boot rate of the selected crystal; reports failures.
bool OpenBootPort(Session& s);
// The ten-byte boot frame, then its answer. True means failed.
bool SendFrame(Session& s, uint8_t command, uint32_t address, uint32_t length);
// The data frame, the bytes and their sum, then the answer. True means failed.
bool SendBlock(Session& s, uint32_t address, const uint8_t* data, uint32_t length);
// The download step of the Download and Full Operation commands. True means failed.
bool RunDownload(Session& s, bool fullOperation);

}  // namespace flash
