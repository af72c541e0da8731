// Elsewhere COMn is the platform's own name for the port: nothing to map.
#include "ui/SerialDevices.h"

namespace flash::ui {

bool PortsAreMapped() { return false; }

std::vector<SerialDeviceChoice> SerialDeviceChoices(const std::string&) { return {}; }

}  // namespace flash::ui
