#pragma once
// The serial port of POSIX systems (termios), and the two services whose
// calls differ between Linux and the other POSIX systems.
#include <memory>
#include <string>

#include "link/Port.h"

namespace flash {

class Clock;

namespace posix_serial {

// Every device-control request the port makes goes through this, so that a
// test can see the requests and their arguments on a real pseudo-terminal
// and play a driver that has what a pseudo-terminal lacks (modem lines, the
// serial flags). The base passes each request to ioctl().
class DeviceControl {
 public:
  virtual ~DeviceControl() = default;
  virtual int Ioctl(int fd, unsigned long request, void* arg) const;
};

}  // namespace posix_serial

// Opens a terminal device for exclusive use (TIOCEXCL and an advisory flock,
// which also holds against root). Null with the reason in *reason. control,
// when given, must outlive the port; null: the system's ioctl().
std::unique_ptr<Port> OpenPosixPort(const std::string& path, Clock& clock, std::string* reason,
                                    const posix_serial::DeviceControl* control = nullptr);

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

// Asks the driver to hand received bytes on at once instead of batching
// them (Linux ASYNC_LOW_LATENCY). False where it is not offered (a
// pseudo-terminal, the BSDs); the port works either way.
bool SetLowLatency(int fd, const DeviceControl& control);

// The drain waits nap for tens of microseconds; the default timer slack
// (50 us on Linux) would more than double each nap at the fastest rates.
void UsePreciseSleeps();

}  // namespace posix_serial
}  // namespace flash
