// The BSDs and macOS: termios takes the rate itself as speed_t, the driver
// keeps no line-error counters for us and offers no low-latency flag, and
// sleeps need no tuning.
#include <termios.h>

#include "link/SerialPortPosix.h"

namespace flash::posix_serial {

bool SetLineRate(int fd, int rate) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  if (cfsetspeed(&t, static_cast<speed_t>(rate)) != 0) return false;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool ReadLineCounters(int, LineCounters*) { return false; }

bool SetLowLatency(int, const DeviceControl&) { return false; }

void UsePreciseSleeps() {}

}  // namespace flash::posix_serial
