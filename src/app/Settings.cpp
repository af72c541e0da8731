#include "app/Settings.h"

#include "app/FileUtil.h"
#include "app/FrontEnd.h"
#include "app/Profile.h"
#include "app/Session.h"

namespace flash {
namespace {
constexpr const char* kRecent = "Recent";
}

void LoadRecentChoices(Session& s) {
  const std::string path = s.state.programDir + kRecentFile;
  s.state.deviceIndex = profile::GetInt(path, kRecent, "CPU", 0);
  s.state.crystalIndex = profile::GetInt(path, kRecent, "RATE", 0);
  std::string remembered = profile::GetString(path, kRecent, "Write File", "", 259);
  if (auto arg = s.args.HexFile()) {
    // Made absolute once, so it means the same file whatever the current directory.
    s.state.hexFilePath = AbsolutePath(*arg);
  } else {
    s.state.hexFilePath = remembered;
  }
  s.state.hexFileName = FileNamePart(s.state.hexFilePath);
}

void SaveRecentChoices(Session& s) {
  const std::string path = s.state.programDir + kRecentFile;
  if (s.state.deviceIndex < 0) s.state.deviceIndex = 0;
  profile::WriteString(path, kRecent, "CPU", std::to_string(s.state.deviceIndex));
  if (s.state.crystalIndex < 0) s.state.crystalIndex = 0;
  profile::WriteString(path, kRecent, "RATE", std::to_string(s.state.crystalIndex));
  profile::WriteString(path, kRecent, "Write File", s.state.hexFilePath);
  s.ui.SetHexFileTooltip(s.state.hexFilePath);
}

void LoadUserSettings(Session& s) {
  const std::string path = s.state.programDir + kCustomizeFile;
  UserSettings& u = s.state.settings;
  if (auto index = s.args.PortIndex()) {
    u.comPortIndex = static_cast<uint8_t>(*index);
  } else {
    u.comPortIndex = static_cast<uint8_t>(profile::GetInt(path, "Com", "Com", 0));
  }
  u.soundEnabled = profile::GetInt(path, "Sound", "Sound", 0);
  u.errorEnable = profile::GetInt(path, "Sound", "ErrorEnable", 0);
  u.errorType = profile::GetInt(path, "Sound", "ErrorType", 0);
  u.errorFile = profile::GetString(path, "Sound", "ErrorPass", "<none>", 260);
  u.endEnable = profile::GetInt(path, "Sound", "EndEnable", 0);
  u.endType = profile::GetInt(path, "Sound", "EndType", 0);
  u.endFile = profile::GetString(path, "Sound", "EndPass", "<none>", 260);
  u.toolTipsEnabled = profile::GetInt(path, "Tool", "ToolTips", 0);
  s.ui.SetCommandGroupCaption(CommandGroupCaption(u));
}

void SaveComPort(Session& s, int index) {
  profile::WriteString(s.state.programDir + kCustomizeFile, "Com", "Com", std::to_string(index));
  LoadUserSettings(s);
}

std::string CommandGroupCaption(const UserSettings& settings) {
  return "Command  to  COM" + std::to_string(settings.comPortIndex + 1);
}

std::string ComDevicePath(const std::string& programDir, int comNumber) {
  std::string key = "COM" + std::to_string(comNumber);
  std::string mapped = profile::GetString(programDir + kCustomizeFile, "Ports", key, "", 4095);
  if (!mapped.empty()) return mapped;
#ifdef _WIN32
  return "\\\\.\\COM" + std::to_string(comNumber);
#else
  return "/dev/ttyS" + std::to_string(comNumber - 1);
#endif
}

}  // namespace flash
