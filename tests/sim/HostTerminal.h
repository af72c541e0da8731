#pragma once
// The host's end of a board's pseudo-terminal, opened as a plain raw terminal,
// so the pty tests need no serial port code.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/LineRate.h"

namespace flash::sim::test {

// Generous bound for an answer to cross a loaded machine; the tests wait for
// bytes, never for time.
constexpr int kAnswerWaitMs = 5000;

struct HostTerminal {
  HostTerminal(const std::string& path, int rate) {
    fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    WriteLineRate(fd, rate);
    tcflush(fd, TCIOFLUSH);
  }
  ~HostTerminal() {
    if (fd >= 0) ::close(fd);
  }
  bool Write(const std::vector<uint8_t>& bytes) {
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Up to count bytes, waiting at most kAnswerWaitMs for each.
  std::vector<uint8_t> Read(std::size_t count) {
    std::vector<uint8_t> got;
    while (got.size() < count) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, kAnswerWaitMs) <= 0) break;
      uint8_t buf[600];
      ssize_t n = ::read(fd, buf, std::min(sizeof buf, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }
  int fd = -1;
};

}  // namespace flash::sim::test
