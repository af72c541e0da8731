// Linux only: any integer rate through termios2/BOTHER (glibc's termios takes
// only the B-constants), the driver's line-error counters and its
// low-latency flag. Its own file
// because <asm/termbits.h> cannot be included beside <termios.h>.
#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>

#include "link/SerialPortPosix.h"

namespace flash::posix_serial {

bool SetLineRate(int fd, int rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = static_cast<speed_t>(rate);
  t.c_ospeed = static_cast<speed_t>(rate);
  return ioctl(fd, TCSETS2, &t) == 0;
}

bool ReadLineCounters(int fd, LineCounters* out) {
  struct serial_icounter_struct c {};
  if (ioctl(fd, TIOCGICOUNT, &c) != 0) return false;
  out->frame = static_cast<uint32_t>(c.frame);
  out->overrun = static_cast<uint32_t>(c.overrun) + static_cast<uint32_t>(c.buf_overrun);
  out->parity = static_cast<uint32_t>(c.parity);
  out->brk = static_cast<uint32_t>(c.brk);
  return true;
}

bool SetLowLatency(int fd, const DeviceControl& control) {
  // Without the flag a USB adapter's driver may hold a received answer for
  // its latency timer; a pseudo-terminal refuses both requests.
  struct serial_struct serial {};
  if (control.Ioctl(fd, TIOCGSERIAL, &serial) != 0) return false;
  if (serial.flags & ASYNC_LOW_LATENCY) return true;
  serial.flags |= ASYNC_LOW_LATENCY;
  return control.Ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

void UsePreciseSleeps() {
  constexpr unsigned long kSlackNs = 1000;
  prctl(PR_SET_TIMERSLACK, kSlackNs, 0, 0, 0);
}

}  // namespace flash::posix_serial
