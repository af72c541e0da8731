// flashcli ports: the serial devices present, which COMn names each, and
// whether this user may open it now. Nothing is opened: an open raises DTR,
// which resets some boards.
#include <cstdio>

#include "base/FileUtil.h"
#include "base/Settings.h"
#include "cli/Cli.h"
#include "link/SerialInventory.h"

namespace flash::cli {
namespace {

// Above this an FTDI adapter holds back short answers; its driver's default is 16.
constexpr int kFastLatencyMs = 1;

void Row(const char* label, const std::string& value) {
  std::printf("  %-14s %s\n", label, value.c_str());
}

std::string ComText(const SerialDevice& d) {
  if (d.comNumber == 0) return "none (section [Ports] of Customize.ini maps no COMn to it)";
  const std::string com = "COM" + std::to_string(d.comNumber);
  if (d.comByDefault) return com + " (without a [Ports] key " + com + " is " + d.kernelName + ")";
  return com + " (section [Ports] of Customize.ini)";
}

void LatencyWarning(const SerialDevice& d, const InventoryRoots& roots) {
  std::printf(
      "  warning: the latency timer of this FTDI adapter is %d ms: each answer of the board\n"
      "  can wait that long. The udev rule packaging/99-flash-serial.rules sets it to 1 ms\n"
      "  for every FTDI adapter (the package installs it; by hand: copy it into\n"
      "  /etc/udev/rules.d/, run sudo udevadm control --reload, then replug the adapter).\n"
      "  Until then: echo 1 | sudo tee %s/bus/usb-serial/devices/%s/latency_timer\n",
      *d.latencyTimerMs, roots.sysfs.c_str(), d.kernelName.c_str());
}

void PrintDevice(const SerialDevice& d, const InventoryRoots& roots) {
  std::printf("%s\n", d.name.c_str());
  Row("device", d.node + (d.driver.empty() ? "" : " (driver " + d.driver + ")"));
  for (std::size_t i = 1; i < d.links.size(); ++i) Row("also", d.links[i]);
  if (d.usb) {
    Row("usb", UsbIdText(d) + (d.serialNumber.empty() ? "" : ", serial " + d.serialNumber));
    if (!d.manufacturer.empty()) Row("manufacturer", d.manufacturer);
    if (!d.product.empty()) Row("product", d.product);
  }
  if (d.latencyTimerMs) Row("latency timer", std::to_string(*d.latencyTimerMs) + " ms");
  Row("COM port", ComText(d));
  Row("access", AccessText(d));
  if (d.IsFtdi() && d.latencyTimerMs && *d.latencyTimerMs > kFastLatencyMs)
    LatencyWarning(d, roots);
}

int RunPorts(const Options&) {
  const std::string station = StationDirectory(ExecutableDirectory());
  const InventoryRoots roots = InventoryRootsFromEnvironment();
  const std::vector<SerialDevice> devices = ListSerialDevices(station, roots);
  if (devices.empty()) {
    std::printf("no serial devices found (in %s)\n", roots.dev.c_str());
    return kExitOk;
  }
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (i) std::printf("\n");
    PrintDevice(devices[i], roots);
  }
  std::printf("\nCOM ports as %s%s maps them; --port takes a device path or usb:VID:PID[:SERIAL]\n",
              station.c_str(), kCustomizeFile);
  return kExitOk;
}

const Registration kPorts{{"ports", "",
                           "list the serial devices, the COMn that names each and who may open it",
                           0, 0, RunPorts}};

}  // namespace
}  // namespace flash::cli
