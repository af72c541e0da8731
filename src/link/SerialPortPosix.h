#pragma once
// The serial port of POSIX systems (termios), and the two services whose
// calls differ between Linux and the other POSIX systems.
#include <memory>
#include <string>

#include "link/Port.h"

namespace flash {

class Clock;

// Opens a terminal device for exclusive use (TIOCEXCL and an advisory flock,
// which also holds against root). Null with the reason in *reason.
std::unique_ptr<Port> OpenPosixPort(const std::string& path, Clock& clock, std::string* reason);

namespace posix_serial {

// Sets any integer rate on an open, configured device. False when refused.
bool SetLineRate(int fd, int rate);

struct LineCounters {
  uint32_t frame = 0;
  uint32_t overrun = 0;
  uint32_t parity = 0;
  uint32_t brk = 0;
};
// The driver's running error counters; false when it keeps none.
bool ReadLineCounters(int fd, LineCounters* out);

}  // namespace posix_serial
}  // namespace flash
