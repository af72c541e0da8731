#include "app/Startup.h"

#include "base/Catalogue.h"
#include "base/CommandButtons.h"
#include "base/FileUtil.h"
#include "base/FrontEnd.h"
#include "base/Messages.h"
#include "base/Session.h"
#include "base/Settings.h"

namespace flash {

const char* StartupFailureText(StartupStatus status) {
  switch (status) {
    case StartupStatus::PathTooLong: return "PATH TOO LONG error";
    case StartupStatus::RegistFailed: return "REGIST FAILED!";
    case StartupStatus::MemoryNotEnough: return "MEMORY NOT ENOUGH error";
    default: return "";
  }
}

namespace {

StartupStatus Fail(Session& s, StartupStatus status) {
  s.ui.ShowMessageBox({StartupFailureText(status), std::string(kAppCaption), BoxButtons::Ok,
                       BoxIcon::Stop, BoxOwner::MainWindow});
  return status;
}

}  // namespace

StartupStatus StartUp(Session& s, const std::string& programDir) {
  SessionState& st = s.state;
  if (programDir.empty() || programDir.size() >= MaxPathLength())
    return Fail(s, StartupStatus::PathTooLong);
  st.programDir = programDir;
  // An installed program keeps the station's files in the user's directory.
  st.stationDir = StationDirectory(programDir);
  LoadRecentChoices(s);

  st.catalogPath = DataFilePath(st, kCatalogueFile);
  CatalogueListing listing = ListDevices(s.profiles, st.catalogPath);
  if (!listing.readable) return Fail(s, StartupStatus::RegistFailed);
  for (const auto& skipped : listing.skipped) {
    if (!skipped.incomplete)
      s.ui.LogLine(std::string(kCatalogueFile) + ": section [" + skipped.name +
                   "] is not listed: " + skipped.reason);
  }
  st.deviceNames = std::move(listing.devices);
  if (st.deviceNames.empty()) return Fail(s, StartupStatus::RegistFailed);

  if (st.deviceIndex > static_cast<int>(st.deviceNames.size()) - 1 || st.deviceIndex < 0)
    st.deviceIndex = 0;
  ApplySelectedDevice(s);
  if (st.crystalIndex < 0) st.crystalIndex = 0;
  st.linkBaud = SelectedBootBaud(s);

  LoadUserSettings(s);
  ResetCommandButtons(s);
  s.window->StateToControls(st);
  s.window->SetHexFileTooltip(st.hexFilePath);
  st.copyAsIntelHex = false;
  if (s.args.BatchMode() && s.args.NoDialog()) st.showDialogs = false;
  return StartupStatus::Ok;
}

int SelectedWorkingBaud(const Session& s) {
  if (s.state.deviceNames.empty()) return 0;
  return SelectedDevice(s).WorkingBaud(static_cast<std::size_t>(s.state.crystalIndex));
}

int SelectedBootBaud(const Session& s) {
  if (s.state.deviceNames.empty()) return 0;
  return SelectedDevice(s).BootBaud(static_cast<std::size_t>(s.state.crystalIndex));
}

}  // namespace flash
