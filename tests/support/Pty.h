#pragma once
// A pseudo-terminal pair for tests of the POSIX port: the test holds the
// master, the port under test opens slavePath.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace flash::test {

struct Pty {
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) slavePath = ptsname(master);
  }
  ~Pty() {
    if (master >= 0) close(master);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  int master = -1;
  std::string slavePath;
};

}  // namespace flash::test
