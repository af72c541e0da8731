#pragma once
// The serial devices a user may map COMn to, where the port layer maps names.
#include <string>
#include <vector>

namespace flash::ui {

// Whether COMn names a device chosen through section "Ports" of Customize.ini.
bool PortsAreMapped();

struct SerialDeviceChoice {
  std::string path;         // what [Ports] stores: the stable name when there is one
  std::string description;  // "ttyUSB0, FT232R USB UART, serial A50285BI, COM3, busy: PID 12"
};

// The serial devices present, in the core inventory's order (its roots from
// FLASH_SYSFS_ROOT and FLASH_DEV_ROOT); stationDir holds the Customize.ini
// whose [Ports] names their COMn. Nothing is opened.
std::vector<SerialDeviceChoice> SerialDeviceChoices(const std::string& stationDir);

}  // namespace flash::ui
