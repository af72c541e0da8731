#include "frontend/HeadlessRun.h"

#include "app/FlashProgram.h"
#include "app/Startup.h"
#include "base/FileUtil.h"
#include "base/Session.h"
#include "frontend/HeadlessFrontEnd.h"
#include "frontend/StopSignals.h"
#include "link/SerialLink.h"
#include "link/SystemPort.h"
#include "ops/StandardOutlets.h"

namespace flash {

void PrepareUnattendedRun(Session& s) {
  s.state.unattendedResult = true;
  s.stopRequest = &InstallStopSignals();
}

int RunFlashHeadless(const CommandLine& args, const std::string& noDisplay) {
  HeadlessFrontEnd ui(stderr, false);
  SystemClock clock;
  const std::string dir = ExecutableDirectory();
  // The port map and the link trace are the station's files.
  auto ports = MakeSystemPortFactory(StationDirectory(dir), clock);
  SerialLink link(*ports);
  Session s(ui, clock, link, args, StandardOutlets());
  if (StartUp(s, dir) != StartupStatus::Ok) return kExitStartupFailure;
  if (!args.BatchMode()) {
    ui.LogLine("flash: no display could be opened" +
               (noDisplay.empty() ? std::string() : " (" + noDisplay + ")") +
               "; give a hex file to run one Full Operation unattended"
               " (flash FILE [comN] [no_dialog] [reset|no_reset]), or use flashcli");
    return kExitStartupFailure;
  }
  PrepareUnattendedRun(s);
  return RunUnattendedFullOperation(s);
}

}  // namespace flash
