#include "base/CommandButtons.h"

#include "base/FrontEnd.h"
#include "base/Session.h"

namespace flash {

bool EraseWithoutDownload(std::string_view deviceName) {
  return deviceName == "TR7C0440" || deviceName == "TR7C0441";
}

bool CommandButtonEnabled(const SessionState& state, int buttonId) {
  switch (buttonId) {
    case id::kDownload:
    case id::kFullOperation:
      return true;
    case id::kErase:
      return state.controlProgramRunning || EraseWithoutDownload(state.DeviceName());
    case id::kBlankCheck:
    case id::kProgram:
    case id::kCompare:
    case id::kCopy:
      return state.controlProgramRunning;
    default:
      return true;  // lists, Open, Set Environment, Help, Check SUM
  }
}

void ResetCommandButtons(Session& s) {
  s.state.controlProgramRunning = false;
  s.window->StateToControls(s.state);
}

void EnableFlashCommands(Session& s) {
  s.state.controlProgramRunning = true;
  s.window->StateToControls(s.state);
}

}  // namespace flash
