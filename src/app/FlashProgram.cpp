#include "app/FlashProgram.h"

#include <cstdlib>

#include "app/FileUtil.h"
#include "app/HeadlessFrontEnd.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/StopSignals.h"
#include "diag/DiagFiles.h"
#include "link/SerialLink.h"
#include "link/SystemPort.h"
#include "ops/Commands.h"

namespace flash {

bool HasDisplay() {
#if defined(_WIN32) || defined(__APPLE__)
  return true;
#else
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY");
#endif
}

int BatchExitStatus(const Session& s) {
  if (int reason = StopReason(s); reason > 0 && reason != kStopWindowClosed)
    return SignalExitStatus(reason);
  const SessionState& st = s.state;
  const bool ok = st.lastReportId == msg::kFullOperationDone && st.silentEnding.empty() &&
                  !st.resultFileFailed && StopReason(s) == 0;
  return ok ? 0 : 1;
}

void PrepareUnattendedRun(Session& s) {
  s.state.unattendedResult = true;
  s.stopRequest = &InstallStopSignals();
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

int RunFlashHeadless(const CommandLine& args, const std::string& noDisplay) {
  HeadlessFrontEnd ui(stderr, false);
  SystemClock clock;
  const std::string dir = ExecutableDirectory();
  auto ports = MakeSystemPortFactory(dir, clock);
  SerialLink link(*ports);
  Session s(ui, clock, link, args);
  if (StartUp(s, dir) != StartupStatus::Ok) return kExitStartupFailure;
  if (!args.BatchMode()) {
    ui.LogLine("flash: no display could be opened" +
               (noDisplay.empty() ? std::string() : " (" + noDisplay + ")") +
               "; give a hex file to run one Full Operation unattended"
               " (flash FILE [comN] [no_dialog] [reset|no_reset]), or use flashcli");
    return kExitStartupFailure;
  }
  PrepareUnattendedRun(s);
  OnFullOperation(s);
  link.ClosePort();
  SayHowItEnded(s);
  return BatchExitStatus(s);
}

}  // namespace flash
