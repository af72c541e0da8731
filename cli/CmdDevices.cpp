// flashcli devices: what the catalogue offers, and what it refuses and why.
#include <cstdio>

#include "base/Catalogue.h"
#include "base/Session.h"
#include "base/Settings.h"
#include "cli/CliSession.h"

namespace flash::cli {
namespace {

int RunDevices(const Options& options) {
  int exitCode = 0;
  auto cli = CliSession::Start(options, &exitCode);
  if (!cli) return exitCode;
  Session& session = cli->session();
  const std::string& catalog = session.state.catalogPath;
  CatalogueListing listing = ListDevices(session.profiles, catalog);
  for (const std::string& name : listing.devices) {
    // The details from the same reading of the file as the listing.
    DeviceDefinition d = ReadDeviceDefinition(listing.catalogue.get(), name);
    std::printf("%s\n", name.c_str());
    std::printf("  control program  %s\n", d.downloadFile.c_str());
    std::printf("  load address     %s\n", AddressText(d.loadAddress).c_str());
    std::printf("  region  start      end        size\n");
    for (std::size_t i = 0; i < d.regionEnds.size(); ++i) {
      std::printf("  %-6zu  %s  %s  %s\n", i + 1, AddressText(d.regionStarts[i]).c_str(),
                  AddressText(d.regionEnds[i]).c_str(),
                  AddressText(d.regionEnds[i] - d.regionStarts[i] + 1).c_str());
    }
    std::printf("  clock             boot baud  working baud\n");
    for (std::size_t i = 0; i < d.clocks.size(); ++i) {
      std::string quoted = "\"" + d.clocks[i] + "\"";
      std::printf("  %-16s  %-9d  %d\n", quoted.c_str(), d.BootBaud(i), d.WorkingBaud(i));
    }
  }
  if (!listing.skipped.empty()) {
    std::printf("not listed:\n");
    for (const auto& s : listing.skipped) std::printf("  %s: %s\n", s.name.c_str(), s.reason.c_str());
  }
  // Last, so that the listing above reads the same whichever directory it is.
  const std::string station = StationFile(session.state, "");
  if (station == session.state.programDir)
    std::printf("station directory: %s (the program's own)\n", station.c_str());
  else
    std::printf("station directory: %s (%s is not writable)\n", station.c_str(),
                session.state.programDir.c_str());
  return kExitOk;
}

const Registration kDevices{{"devices", "", "list the devices of CHIPDEF.INI and the sections it skips",
                             0, 0, RunDevices}};

}  // namespace
}  // namespace flash::cli
