#include "app/FlashProgram.h"

#include "base/FrontEnd.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"

namespace flash {

int BatchExitStatus(const Session& s) {
  if (int reason = StopReason(s); reason > 0 && reason != kStopWindowClosed)
    return SignalExitStatus(reason);
  const SessionState& st = s.state;
  const bool ok = st.lastReportId == msg::kFullOperationDone && st.silentEnding.empty() &&
                  !st.resultFileFailed && StopReason(s) == 0;
  return ok ? 0 : 1;
}

namespace {
// One line for an ending that showed no message of its own.
void SayHowItEnded(Session& s) {
  if (int reason = StopReason(s); reason != 0)
    s.ui.LogLine("flash: " + StopText(reason) + ": the Full Operation was stopped and the port released");
  else if (!s.state.silentEnding.empty())
    s.ui.LogLine("flash: " + s.state.silentEnding);
}
}  // namespace

int RunUnattendedFullOperation(Session& s) {
  OnFullOperation(s);
  s.link.ClosePort();
  SayHowItEnded(s);
  return BatchExitStatus(s);
}

}  // namespace flash
