// Linux keeps arbitrary rates (BOTHER) only in termios2, which the plain
// termios calls cannot show; this file talks termios2 and nothing else, since
// its header clashes with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "sim/LineRate.h"

namespace flash::sim {

int ReadLineRate(int fd) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return 0;
  return static_cast<int>(t.c_ospeed);
}

bool WriteLineRate(int fd, int rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = static_cast<speed_t>(rate);
  t.c_ospeed = static_cast<speed_t>(rate);
  return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace flash::sim
