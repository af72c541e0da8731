#include "cli/CliSession.h"

#include "app/Startup.h"
#include "base/Catalogue.h"
#include "base/FileUtil.h"
#include "base/Profile.h"
#include "frontend/StopSignals.h"
#include "link/SerialInventory.h"
#include "link/SystemPort.h"
#include "ops/StandardOutlets.h"

namespace flash::cli {

CliSession::CliSession() : ui_(stderr, true) {}

std::unique_ptr<CliSession> CliSession::Start(const Options& options, int* exitCode,
                                              const ReportOutlets* outlets) {
  std::unique_ptr<CliSession> c(new CliSession());
  const std::string dir = ExecutableDirectory();
  // The port map and the link trace are the station's files.
  const std::string station = StationDirectory(dir);
  // A device named by --port is found before anything starts, so that a
  // name matching no device, or several, stops here.
  PortSpec spec;
  if (options.port) {
    std::string error;
    if (!ResolvePortSpec(*options.port, station, InventoryRootsFromEnvironment(), spec, error)) {
      *exitCode = UsageError(error);
      return nullptr;
    }
  }
  c->ports_ = MakeSystemPortFactory(station, c->clock_, options.trace ? &c->trace_ : nullptr,
                                    spec.device);
  c->link_ = std::make_unique<SerialLink>(*c->ports_);
  c->session_ = std::make_unique<Session>(c->ui_, c->clock_, *c->link_, CommandLine(),
                                          outlets ? *outlets : StandardOutlets());
  Session& s = *c->session_;
  if (StartUp(s, dir) != StartupStatus::Ok) {
    *exitCode = kExitStartupFailure;
    return nullptr;
  }
  if (options.device) {
    int found = -1;
    for (std::size_t i = 0; i < s.state.deviceNames.size(); ++i)
      if (profile::EqualsNoCase(s.state.deviceNames[i], *options.device)) found = static_cast<int>(i);
    if (found < 0) {
      *exitCode = UsageError("no device " + *options.device + " in " + s.state.catalogPath +
                             " (flashcli devices lists them)");
      return nullptr;
    }
    s.state.deviceIndex = found;
    ApplySelectedDevice(s);
  }
  if (options.crystal) {
    int found = -1;
    for (std::size_t i = 0; i < s.state.crystalTexts.size(); ++i)
      if (profile::EqualsNoCase(profile::TrimBlanks(s.state.crystalTexts[i]),
                              profile::TrimBlanks(*options.crystal)))
        found = static_cast<int>(i);
    if (found < 0) {
      *exitCode = UsageError("device " + s.state.DeviceName() + " has no crystal " +
                             *options.crystal);
      return nullptr;
    }
    s.state.crystalIndex = found;
  }
  if (spec.isDevice) {
    // The board keeps the COM number [Ports] gives the device, for the
    // settings that go by COMn ([Reset]) and for the records.
    if (spec.comNumber >= 1 && spec.comNumber <= 256)
      s.state.settings.comPortIndex = static_cast<uint8_t>(spec.comNumber - 1);
    s.state.portDevice = spec.device;
  } else if (options.port) {
    const std::string& p = *options.port;
    int n = 0;
    if (p.size() > 3 && profile::EqualsNoCase(p.substr(0, 3), "com"))
      n = profile::ParseProfileInt(p.substr(3));
    if (n < 1 || n > 256) {
      *exitCode = UsageError(
          "--port takes COM1 to COM256, a device path or usb:VID:PID[:SERIAL], not " + p);
      return nullptr;
    }
    s.state.settings.comPortIndex = static_cast<uint8_t>(n - 1);
  }
  s.state.linkBaud = SelectedWorkingBaud(s);
  s.stopRequest = &InstallStopSignals();
  *exitCode = 0;
  return c;
}

}  // namespace flash::cli
