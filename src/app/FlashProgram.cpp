#include "app/FlashProgram.h"

#include <cstdlib>

#include "app/FileUtil.h"
#include "app/HeadlessFrontEnd.h"
#include "app/Session.h"
#include "app/Startup.h"
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

int BatchExitStatus(int lastReportId) { return lastReportId == 306 ? 0 : 1; }

int RunFlashHeadless(const CommandLine& args) {
  HeadlessFrontEnd ui(stderr, false);
  SystemClock clock;
  const std::string dir = ExecutableDirectory();
  auto ports = MakeSystemPortFactory(dir, clock);
  SerialLink link(*ports);
  Session s(ui, clock, link, args);
  if (StartUp(s, dir) != StartupStatus::Ok) return kExitStartupFailure;
  if (!args.BatchMode()) {
    ui.LogLine("flash: no display; give a hex file to run one Full Operation unattended"
               " (flash FILE [comN] [no_dialog] [reset|no_reset]), or use flashcli");
    return kExitStartupFailure;
  }
  OnFullOperation(s);
  link.ClosePort();
  return BatchExitStatus(s.state.lastReportId);
}

}  // namespace flash
