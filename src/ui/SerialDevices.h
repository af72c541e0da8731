#pragma once
// The serial devices a user may map COMn to, where the port layer maps names.
#include <string>
#include <vector>

namespace flash::ui {

// Whether COMn names a device chosen through section "Ports" of Customize.ini.
bool PortsAreMapped();

// The serial devices under devRoot ("/dev" in use): the stable names of
// serial/by-id first, then ttyUSB*, ttyACM* and ttyS*, each group sorted by number.
std::vector<std::string> SerialDeviceCandidates(const std::string& devRoot = "/dev");

}  // namespace flash::ui
