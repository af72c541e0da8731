#pragma once
// The serial devices of the machine the program runs on.
#include <memory>
#include <string>

#include "link/Port.h"

namespace flash {

class Clock;
class TraceSink;

// Opens COM<n> as the platform names it (on Linux through section "Ports" of
// Customize.ini in programDir, else /dev/ttyS<n-1>). Each port is traced to
// LINKTRACE.TXT while that file exists in programDir, and to extraTrace when
// given (flashcli --trace passes a sink on standard error).
std::unique_ptr<PortFactory> MakeSystemPortFactory(const std::string& programDir, Clock& clock,
                                                   TraceSink* extraTrace = nullptr);

// The same, but every COM number opens devicePath instead of what COMn maps
// to (flashcli --port /dev/ttyUSB0 or usb:VID:PID); an empty devicePath
// keeps the mapping. The trace switch is still read in programDir.
std::unique_ptr<PortFactory> MakeSystemPortFactory(const std::string& programDir, Clock& clock,
                                                   TraceSink* extraTrace,
                                                   const std::string& devicePath);

}  // namespace flash
