// Other POSIX systems: only the standard rates, through the termios calls.
#include <termios.h>

#include <iterator>

#include "sim/LineRate.h"

namespace flash::sim {

namespace {
struct Pair {
  speed_t code;
  int rate;
};
constexpr Pair kRates[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                           {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
                           {B230400, 230400}};
}  // namespace

int ReadLineRate(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return 0;
  speed_t s = cfgetospeed(&t);
  for (const Pair& p : kRates)
    if (p.code == s) return p.rate;
  return static_cast<int>(s);  // systems whose speed_t is the rate itself
}

bool WriteLineRate(int fd, int rate) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  speed_t code = static_cast<speed_t>(rate);
  for (const Pair& p : kRates)
    if (p.rate == rate) code = p.code;
  return cfsetspeed(&t, code) == 0 && tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace flash::sim
