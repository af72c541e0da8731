// The device-control requests of the termios port, seen on a real
// pseudo-terminal through its control seam: every request passes through to
// the device unless the test plays a driver that has what a pseudo-terminal
// lacks (modem lines, the serial flags).
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "base/Clock.h"
#include "link/SerialPortPosix.h"
#include "support/Pty.h"

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace flash::test {
namespace {

struct Request {
  unsigned long request;
  int value;  // the int the argument points to (modem bits, queue length); 0 for none
};

// Records every request. With modemLines set, answers TIOCMBIS and TIOCMBIC
// itself (0, or fails with modemError); with serialFlags set, plays the
// serial-flags requests of a UART driver. Everything else goes to the device.
class RecordingControl final : public posix_serial::DeviceControl {
 public:
  int Ioctl(int fd, unsigned long request, void* arg) const override {
    const bool modem = request == static_cast<unsigned long>(TIOCMBIS) ||
                       request == static_cast<unsigned long>(TIOCMBIC);
    calls.push_back({request, modem && arg ? *static_cast<int*>(arg) : 0});
    if (modem && modemLines) {
      if (modemError == 0) return 0;
      errno = modemError;
      return -1;
    }
#if defined(__linux__)
    if (serialFlags && request == static_cast<unsigned long>(TIOCGSERIAL)) {
      static_cast<serial_struct*>(arg)->flags = *serialFlags;
      return 0;
    }
    if (serialFlags && request == static_cast<unsigned long>(TIOCSSERIAL)) {
      *serialFlags = static_cast<serial_struct*>(arg)->flags;
      return 0;
    }
#endif
    return DeviceControl::Ioctl(fd, request, arg);
  }
  std::vector<Request> Of(unsigned long request) const {
    std::vector<Request> out;
    for (const Request& r : calls)
      if (r.request == request) out.push_back(r);
    return out;
  }

  mutable std::vector<Request> calls;
  bool modemLines = false;
  int modemError = 0;
  mutable std::optional<int> serialFlags;
};

struct OpenPort {
  explicit OpenPort(RecordingControl& control, int rate = 115200) {
    std::string reason;
    port = OpenPosixPort(pty.slavePath, clock, &reason, &control);
    EXPECT_TRUE(port) << reason;
    if (port) {
      EXPECT_EQ(port->Configure(rate), 0);
    }
  }
  // The port still carries bytes both ways.
  void ExpectWorking() {
    const uint8_t out = 0x18;
    ASSERT_TRUE(port->Write(&out, 1));
    uint8_t got = 0;
    ASSERT_EQ(read(pty.master, &got, 1), 1);
    EXPECT_EQ(got, out);
    const uint8_t back = 0x11;
    ASSERT_EQ(write(pty.master, &back, 1), 1);
    std::size_t n = 0;
    uint8_t in = 0;
    ASSERT_TRUE(port->Read(&in, 1, &n));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(in, back);
  }
  Pty pty;
  SystemClock clock;
  std::unique_ptr<Port> port;
};

TEST(PosixPortCalls, SingleByteWritesAskTheDriverNothingAndADrainAsksOnce) {
  RecordingControl control;
  OpenPort p(control);
  ASSERT_TRUE(p.port);
  control.calls.clear();
  for (int i = 0; i < 64; ++i) {
    const uint8_t b = static_cast<uint8_t>(i);
    ASSERT_TRUE(p.port->Write(&b, 1));
  }
  EXPECT_TRUE(control.calls.empty());
  // The terminal layer hands the bytes over in its own time.
  std::vector<uint8_t> got;
  for (int tries = 0; got.size() < 64 && tries < 100; ++tries) {
    pollfd pf{p.pty.master, POLLIN, 0};
    if (poll(&pf, 1, 20) <= 0) continue;
    uint8_t chunk[64];
    const ssize_t n = read(p.pty.master, chunk, sizeof chunk);
    if (n > 0) got.insert(got.end(), chunk, chunk + n);
  }
  ASSERT_EQ(got.size(), 64u);
  EXPECT_EQ(got[63], 63);

  uint32_t left = 0;
  ASSERT_TRUE(p.port->Drain(&left));
  EXPECT_EQ(control.Of(TIOCOUTQ).size(), 1u);
  // Nothing written since: the port knows without asking.
  ASSERT_TRUE(p.port->Drain(&left));
  EXPECT_EQ(control.calls.size(), 1u);
}

TEST(PosixPortCalls, OnAPseudoTerminalModemLinesAreRefusedAndThePortKeepsWorking) {
  RecordingControl control;  // every request reaches the pseudo-terminal
  OpenPort p(control);
  ASSERT_TRUE(p.port);
  EXPECT_FALSE(p.port->SetModemLine(ModemLine::Dtr, false));
  EXPECT_FALSE(p.port->SetModemLine(ModemLine::Rts, true));
  p.ExpectWorking();
}

TEST(PosixPortCalls, ModemLinesAreSetAndClearedOneBitAtATime) {
  RecordingControl control;
  control.modemLines = true;
  OpenPort p(control);
  ASSERT_TRUE(p.port);
  // Configure raised both lines, as the line settings hold them.
  ASSERT_EQ(control.Of(TIOCMBIS).size(), 1u);
  EXPECT_EQ(control.Of(TIOCMBIS)[0].value, TIOCM_DTR | TIOCM_RTS);
  control.calls.clear();

  EXPECT_TRUE(p.port->SetModemLine(ModemLine::Dtr, false));
  EXPECT_TRUE(p.port->SetModemLine(ModemLine::Rts, true));
  EXPECT_TRUE(p.port->SetModemLine(ModemLine::Rts, false));
  EXPECT_TRUE(p.port->SetModemLine(ModemLine::Dtr, true));
  const std::vector<std::pair<unsigned long, int>> expected = {
      {TIOCMBIC, TIOCM_DTR}, {TIOCMBIS, TIOCM_RTS}, {TIOCMBIC, TIOCM_RTS}, {TIOCMBIS, TIOCM_DTR}};
  ASSERT_EQ(control.calls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(control.calls[i].request, expected[i].first) << i;
    EXPECT_EQ(control.calls[i].value, expected[i].second) << i;
  }

  control.modemError = EIO;  // the adapter went away under the call
  EXPECT_FALSE(p.port->SetModemLine(ModemLine::Dtr, false));
}

#if defined(__linux__)
TEST(PosixPortCalls, ConfigureAsksForLowLatencyWhereTheDriverOffersIt) {
  RecordingControl control;
  control.serialFlags = ASYNC_SKIP_TEST;  // a UART driver's flags, without low latency
  OpenPort p(control);
  ASSERT_TRUE(p.port);
  ASSERT_EQ(control.Of(TIOCSSERIAL).size(), 1u);
  EXPECT_EQ(*control.serialFlags, ASYNC_SKIP_TEST | ASYNC_LOW_LATENCY);  // the others kept

  RecordingControl pty;  // the pseudo-terminal refuses: the port works without
  OpenPort q(pty);
  ASSERT_TRUE(q.port);
  EXPECT_EQ(pty.Of(TIOCGSERIAL).size(), 1u);
  EXPECT_TRUE(pty.Of(TIOCSSERIAL).empty());
  q.ExpectWorking();
}
#endif

}  // namespace
}  // namespace flash::test
#endif
