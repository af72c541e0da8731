#pragma once
// What the program does before its window takes input: find its directory,
// read the last choices and the settings, list the catalogue, apply the
// selected device.
#include <string>

namespace flash {

struct Session;

enum class StartupStatus { Ok, PathTooLong, RegistFailed, MemoryNotEnough };

// The start-up failure texts ("PATH TOO LONG error", "REGIST FAILED!", ...).
const char* StartupFailureText(StartupStatus status);

// Runs the start-up sequence with programDir as the program's directory (with
// its trailing separator; empty when the executable's path was too long).
// The station directory (StationDirectory) is chosen first; CHIPDEF.INI is
// read from there when it holds one, else from programDir.
// On failure shows the box (caption "flash", stop icon) and returns why.
StartupStatus StartUp(Session& s, const std::string& programDir);

// The working rate the control program of the selected device and crystal
// talks at once downloaded (Baud2, or twice Baud); 0 when unknown.
int SelectedWorkingBaud(const Session& s);
// The boot rate of the selected device and crystal; 0 when unknown.
int SelectedBootBaud(const Session& s);

// Start-up exit status of the programs: 2 for a start-up failure.
inline constexpr int kExitStartupFailure = 2;

}  // namespace flash
