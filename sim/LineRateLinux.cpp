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

namespace {
struct Code {
  tcflag_t code;
  int rate;
};
constexpr Code kStandardRates[] = {
    {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
    {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
    {B230400, 230400}, {B460800, 460800}, {B500000, 500000}, {B921600, 921600},
    {B1000000, 1000000}};

// A standard rate goes in as its own code, which every reader of termios
// knows; programs that read the plain termios (Wine's serial layer among
// them) refuse a line whose code is BOTHER.
tcflag_t RateCode(int rate) {
  for (const Code& c : kStandardRates)
    if (c.rate == rate) return c.code;
  return BOTHER;
}
}  // namespace

bool WriteLineRate(int fd, int rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  const tcflag_t code = RateCode(rate);
  t.c_cflag |= code | (code << IBSHIFT);
  t.c_ispeed = static_cast<speed_t>(rate);
  t.c_ospeed = static_cast<speed_t>(rate);
  return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace flash::sim
