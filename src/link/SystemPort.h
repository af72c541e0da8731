#pragma once
// The serial devices of the machine the program runs on.
#include <memory>
#include <string>

#include "link/Port.h"

namespace flash {

class Clock;

// Opens COM<n> as the platform names it (on Linux through section "Ports" of
// Customize.ini in programDir, else /dev/ttyS<n-1>).
std::unique_ptr<PortFactory> MakeSystemPortFactory(const std::string& programDir, Clock& clock);

}  // namespace flash
