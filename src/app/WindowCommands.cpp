#include "app/WindowCommands.h"

#include <cstdio>

#include "app/Startup.h"
#include "base/Catalogue.h"
#include "base/CommandButtons.h"
#include "base/FileUtil.h"
#include "base/FrontEnd.h"
#include "base/Session.h"
#include "base/Settings.h"
#include "base/Version.h"
#include "link/SerialLink.h"

namespace flash {

void OnTargetSelected(Session& s, int deviceIndex) {
  s.window->ControlsToState(s.state);
  s.state.deviceIndex = deviceIndex;
  s.link.ClosePort();
  SaveRecentChoices(s);
  ApplySelectedDevice(s);
  s.state.linkBaud = SelectedBootBaud(s);
  ResetCommandButtons(s);
  s.window->StateToControls(s.state);
}

void OnCrystalSelected(Session& s, int crystalIndex) {
  s.window->ControlsToState(s.state);
  s.state.crystalIndex = crystalIndex;
  s.link.ClosePort();
  SaveRecentChoices(s);
  s.state.linkBaud = SelectedBootBaud(s);
  ResetCommandButtons(s);
}

void OnOpenHexFile(Session& s) {
  s.window->ControlsToState(s.state);
  FileDialogRequest request;
  request.filter = kHexFileFilter;
  request.initialDirectory = DirectoryPart(s.state.hexFilePath);
  if (auto chosen = s.ui.ChooseOpenFile(request)) {
    s.state.hexFilePath = *chosen;
    s.state.hexFileName = FileNamePart(*chosen);
    s.window->StateToControls(s.state);
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
  s.window->StateToControls(s.state);
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
