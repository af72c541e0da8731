// Linux names serial ports by device file, so COMn is mapped to one; the
// sheet offers the devices the core's inventory finds now.
#include "link/SerialInventory.h"
#include "ui/SerialDevices.h"

namespace flash::ui {

bool PortsAreMapped() { return true; }

std::vector<SerialDeviceChoice> SerialDeviceChoices(const std::string& stationDir) {
  std::vector<SerialDeviceChoice> out;
  for (const SerialDevice& d : ListSerialDevices(stationDir, InventoryRootsFromEnvironment())) {
    std::string text = d.kernelName;
    if (d.usb) {
      text += ", " + (d.product.empty() ? "USB " + UsbIdText(d) : d.product);
      if (!d.serialNumber.empty()) text += ", serial " + d.serialNumber;
    } else if (!d.driver.empty()) {
      text += ", driver " + d.driver;
    }
    if (d.comNumber != 0) text += ", COM" + std::to_string(d.comNumber);
    if (d.access != PortAccess::Ok) text += ", " + AccessText(d);
    out.push_back({d.name, text});
  }
  return out;
}

}  // namespace flash::ui
