#include "base/Settings.h"

#include <vector>

#include "base/FileUtil.h"
#include "base/FrontEnd.h"
#include "base/Profile.h"
#include "base/Session.h"

namespace flash {
namespace {
constexpr const char* kRecent = "Recent";
}

void LoadRecentChoices(Session& s) {
  const std::string path = StationFile(s.state, kRecentFile);
  s.state.deviceIndex = s.profiles.GetInt(path, kRecent, "CPU", 0);
  s.state.crystalIndex = s.profiles.GetInt(path, kRecent, "RATE", 0);
  std::string remembered = s.profiles.GetString(path, kRecent, "Write File", "", 259);
  if (auto arg = s.args.HexFile()) {
    // Made absolute once, so it means the same file whatever the current directory.
    s.state.hexFilePath = AbsolutePath(*arg);
  } else {
    s.state.hexFilePath = remembered;
  }
  s.state.hexFileName = FileNamePart(s.state.hexFilePath);
}

void SaveRecentChoices(Session& s) {
  const std::string path = StationFile(s.state, kRecentFile);
  if (s.state.deviceIndex < 0) s.state.deviceIndex = 0;
  s.profiles.WriteString(path, kRecent, "CPU", std::to_string(s.state.deviceIndex));
  if (s.state.crystalIndex < 0) s.state.crystalIndex = 0;
  s.profiles.WriteString(path, kRecent, "RATE", std::to_string(s.state.crystalIndex));
  s.profiles.WriteString(path, kRecent, "Write File", s.state.hexFilePath);
  s.window->SetHexFileTooltip(s.state.hexFilePath);
}

void LoadUserSettings(Session& s) {
  const std::string path = StationFile(s.state, kCustomizeFile);
  UserSettings& u = s.state.settings;
  if (auto index = s.args.PortIndex()) {
    u.comPortIndex = static_cast<uint8_t>(*index);
  } else {
    u.comPortIndex = static_cast<uint8_t>(s.profiles.GetInt(path, "Com", "Com", 0));
  }
  u.soundEnabled = s.profiles.GetInt(path, "Sound", "Sound", 0);
  u.errorEnable = s.profiles.GetInt(path, "Sound", "ErrorEnable", 0);
  u.errorType = s.profiles.GetInt(path, "Sound", "ErrorType", 0);
  u.errorFile = s.profiles.GetString(path, "Sound", "ErrorPass", "<none>", 260);
  u.endEnable = s.profiles.GetInt(path, "Sound", "EndEnable", 0);
  u.endType = s.profiles.GetInt(path, "Sound", "EndType", 0);
  u.endFile = s.profiles.GetString(path, "Sound", "EndPass", "<none>", 260);
  u.toolTipsEnabled = s.profiles.GetInt(path, "Tool", "ToolTips", 0);
  u.logFile = s.profiles.GetString(path, "Log", "File", "", 4095);
  s.window->SetCommandGroupCaption(CommandGroupCaption(u));
}

void SaveComPort(Session& s, int index) {
  s.profiles.WriteString(StationFile(s.state, kCustomizeFile), "Com", "Com", std::to_string(index));
  LoadUserSettings(s);
}

std::string StationFile(const SessionState& state, const std::string& name) {
  return (state.stationDir.empty() ? state.programDir : state.stationDir) + name;
}

std::string DataFilePath(const SessionState& state, const std::string& name,
                         const std::string& preferredSuffix) {
  const std::string station = StationFile(state, "");
  std::vector<std::string> dirs{station};
  if (station != state.programDir) dirs.push_back(state.programDir);
  for (const std::string& dir : dirs) {
    const std::string path = PathIn(dir, name);
    if (!preferredSuffix.empty() && IsRegularFile(path + preferredSuffix))
      return path + preferredSuffix;
    if (IsRegularFile(path)) return path;
  }
  return PathIn(state.programDir, name);
}

std::string CommandGroupCaption(const UserSettings& settings) {
  return "Command  to  COM" + std::to_string(settings.comPortIndex + 1);
}

std::string ComDevicePath(const std::string& stationDir, int comNumber) {
  std::string key = "COM" + std::to_string(comNumber);
  std::string mapped = profile::GetString(stationDir + kCustomizeFile, "Ports", key, "", 4095);
  if (!mapped.empty()) return mapped;
#ifdef _WIN32
  return "\\\\.\\COM" + std::to_string(comNumber);
#else
  return "/dev/ttyS" + std::to_string(comNumber - 1);
#endif
}

}  // namespace flash
