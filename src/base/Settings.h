#pragma once
// What survives from one run to the next: DATAFILE.TXT (last choices of the
// window) and Customize.ini (port, sounds, tooltips).
#include <cstdint>
#include <string>

namespace flash {

struct Session;
struct SessionState;

inline constexpr const char* kRecentFile = "DATAFILE.TXT";
inline constexpr const char* kCustomizeFile = "Customize.ini";

struct UserSettings {
  uint8_t comPortIndex = 0;  // COM number = index + 1
  int soundEnabled = 0;
  std::string errorFile = "<none>";
  std::string endFile = "<none>";
  int errorType = 0;
  int endType = 0;
  int errorEnable = 0;
  int endEnable = 0;
  int toolTipsEnabled = 0;
  // Key File of section "Log": the production log, relative to the program's
  // directory unless absolute; empty for none.
  std::string logFile;
};

// DATAFILE.TXT into deviceIndex, crystalIndex, hexFilePath (argument 1 wins)
// and hexFileName.
void LoadRecentChoices(Session& s);
// Writes the "Recent" section and renews the Hex File tooltip.
void SaveRecentChoices(Session& s);
// Customize.ini into settings (the command line chooses the port when it has
// two or more arguments) and renews the caption of the command group.
void LoadUserSettings(Session& s);
// Stores a port index 0..3 as "Com" and reloads the settings.
void SaveComPort(Session& s, int index);

// Where the program keeps one of its own files (Customize.ini, DATAFILE.TXT,
// MESSFILE.TXT, TIMETEST.TXT, SERIAL.TXT, LINKTRACE.TXT, the switch files):
// the station directory, which is the program's directory unless that is not
// writable (StationDirectory in base/FileUtil.h). StationFile(state, "") is
// the directory itself.
std::string StationFile(const SessionState& state, const std::string& name);

// Where a file the program reads but never writes (CHIPDEF.INI, a control
// program) is found: in the station directory first, then in the program's.
// In each, name + preferredSuffix comes before name when a suffix is given (a
// control program built for one crystal). An absolute name is looked up
// only where it points. When none exists: name in the program's directory.
std::string DataFilePath(const SessionState& state, const std::string& name,
                         const std::string& preferredSuffix = "");

// "Command  to  COM%d" for the group box.
std::string CommandGroupCaption(const UserSettings& settings);

// On Linux a COM number names a device through section "Ports" of
// Customize.ini in stationDir ("COM3=/dev/ttyUSB0"); without that key COMn
// is /dev/ttyS<n-1>.
std::string ComDevicePath(const std::string& stationDir, int comNumber);

}  // namespace flash
