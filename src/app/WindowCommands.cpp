#include "app/WindowCommands.h"

#include <cstdio>

#include "app/Catalogue.h"
#include "app/CommandButtons.h"
#include "app/FileUtil.h"
#include "app/FrontEnd.h"
#include "app/Session.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/Version.h"
#include "link/SerialLink.h"

namespace flash {

void OnTargetSelected(Session& s, int deviceIndex) {
  s.ui.ControlsToState(s.state);
  s.state.deviceIndex = deviceIndex;
  s.link.ClosePort();
  SaveRecentChoices(s);
  ApplySelectedDevice(s);
  s.state.linkBaud = SelectedBootBaud(s);
  ResetCommandButtons(s);
  s.ui.StateToControls(s.state);
}

void OnCrystalSelected(Session& s, int crystalIndex) {
  s.ui.ControlsToState(s.state);
  s.state.crystalIndex = crystalIndex;
  s.link.ClosePort();
  SaveRecentChoices(s);
  s.state.linkBaud = SelectedBootBaud(s);
  ResetCommandButtons(s);
}

void OnOpenHexFile(Session& s) {
  s.ui.ControlsToState(s.state);
  FileDialogRequest request;
  request.filter = kHexFileFilter;
  request.initialDirectory = DirectoryPart(s.state.hexFilePath);
  if (auto chosen = s.ui.ChooseOpenFile(request)) {
    s.state.hexFilePath = *chosen;
    s.state.hexFileName = FileNamePart(*chosen);
    s.ui.StateToControls(s.state);
  }
  SaveRecentChoices(s);
}

bool OnDropFiles(Session& s, const std::vector<std::string>& paths) {
  if (paths.empty()) return false;
  const std::string& first = paths.front();
  if (!FileExists(first) || IsDirectory(first)) return false;
  s.state.hexFilePath = AbsolutePath(first);
  s.state.hexFileName = FileNamePart(s.state.hexFilePath);
  SaveRecentChoices(s);
  s.ui.StateToControls(s.state);
  return true;
}

void OnSelectComPort(Session& s, int index) {
  SaveComPort(s, index);
  ResetCommandButtons(s);
}

std::string VersionText(unsigned, unsigned minor, unsigned, unsigned tweak, bool prerelease) {
  // The window shows the low words of the product version's two halves.
  char buf[32];
  std::snprintf(buf, sizeof buf, "V%02u,L%02u", minor & 0xFFFF, (tweak & 0xFFFF) / 100);
  std::string text = buf;
  if (prerelease) {
    std::snprintf(buf, sizeof buf, " b%02u", (tweak & 0xFFFF) % 100);
    text += buf;
  }
  return text;
}

std::string ProgramVersionText() {
  return VersionText(kVersionMajor, kVersionMinor, kVersionPatch, kVersionTweak,
                     kVersionPrerelease);
}

}  // namespace flash
