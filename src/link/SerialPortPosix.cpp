// The termios serial port. The read and write time-outs that the link needs
// (80 ms between bytes, 80 ms per byte plus 80 ms in all) do not exist in
// termios (VMIN/VTIME count in 0.1 s steps, at most 255 bytes, with no total
// limit), so the device is non-blocking and every call waits in poll()
// against deadlines taken from the program's clock. A write returns once the
// driver has the bytes: asking the driver whether they have left costs a
// call (on a USB adapter a round trip) per byte, and only a wait that is
// timed needs to know, so Drain asks once, when such a wait needs it.
#include "link/SerialPortPosix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "base/Clock.h"

namespace flash {
namespace {

constexpr uint32_t kByteTimeoutMs = 80;      // interval between bytes, and per byte of a call
constexpr uint32_t kCallTimeoutMs = 80;      // added once to every call's total
constexpr uint32_t kDrainPollMaxMs = 20;     // longest nap while the output queue empties
constexpr uint64_t kDrainPollMinUs = 5;      // shortest: half a byte at the fastest rates
constexpr uint32_t kBitsPerByte = 10;        // 8N1: start, eight data bits, stop

// Milliseconds left until deadline on the wrapping tick counter (negative: passed).
int32_t Remaining(Clock& clock, uint32_t deadline) {
  return static_cast<int32_t>(deadline - clock.TickMs());
}

// A device without modem lines (a pseudo-terminal, some adapters) refuses
// the modem and counter calls with one of these; that is not a failure.
bool NotSupported(int err) { return err == ENOTTY || err == EINVAL || err == ENOTSUP; }

class PosixPort final : public Port {
 public:
  PosixPort(int fd, Clock& clock, const posix_serial::DeviceControl* control)
      : fd_(fd), clock_(clock), control_(control ? control : &system_) {
    leftAt_ = lineFree_ = clock_.TickMs();
  }
  ~PosixPort() override {
    // Without this a pseudo-terminal stays locked against everyone after us.
    Ioctl(TIOCNXCL, nullptr);
    close(fd_);  // also drops the flock
  }
  PosixPort(const PosixPort&) = delete;
  PosixPort& operator=(const PosixPort&) = delete;

  MessageId Configure(int baudRate) override {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return msg::kPortInfo;
    if (baudRate <= 0) return msg::kPortSetting;
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
#ifdef CRTSCTS
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);  // replaced by the real rate below
    cfsetospeed(&t, B9600);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return msg::kPortSetting;
    if (!posix_serial::SetLineRate(fd_, baudRate)) return msg::kPortSetting;
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (Ioctl(TIOCMBIS, &lines) != 0 && !NotSupported(errno)) return msg::kPortSetting;
    rate_ = baudRate;
    haveCounters_ = posix_serial::ReadLineCounters(fd_, &counters_);
    posix_serial::SetLowLatency(fd_, *control_);  // an answer waits less where offered
    posix_serial::UsePreciseSleeps();
    return 0;
  }

  MessageId SetBaudRate(int baudRate) override {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return msg::kPortInfo;
    if (baudRate <= 0) return msg::kPortSetting;
    // Whatever is still queued leaves at the old rate first.
    if (unsent_) {
      WaitDrained(clock_.TickMs() + kCallTimeoutMs + kByteTimeoutMs * QueuedBytes());
      Sent(clock_.TickMs());
    }
    if (!posix_serial::SetLineRate(fd_, baudRate)) return msg::kPortSetting;
    rate_ = baudRate;
    return 0;
  }

  bool Write(const uint8_t* data, std::size_t count) override {
    const uint32_t deadline =
        clock_.TickMs() + kCallTimeoutMs + kByteTimeoutMs * static_cast<uint32_t>(count);
    std::size_t done = 0;
    while (done < count) {
      ssize_t n = ::write(fd_, data + done, count - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        Queued(static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;  // EIO: hung up
      int32_t left = Remaining(clock_, deadline);
      if (left <= 0) return true;  // timed out without an error: counts as written
      pollfd p{fd_, POLLOUT, 0};
      int r = poll(&p, 1, left);
      if (r < 0 && errno != EINTR) return false;
      if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return false;
    }
    return true;
  }

  bool Drain(uint32_t* leftAt) override {
    if (unsent_) {
      if (const uint32_t queued = QueuedBytes(); queued > 0) {
        WaitDrained(clock_.TickMs() + kCallTimeoutMs + kByteTimeoutMs * queued);
        Sent(clock_.TickMs());
      } else {
        // They left before this call, and not before the line could send them.
        const uint32_t earliest = lineFree_ + (lineFreeUs_ > 0 ? 1 : 0);
        Sent(Remaining(clock_, earliest) > 0 ? clock_.TickMs() : earliest);
      }
    }
    *leftAt = leftAt_;
    return true;
  }

  bool SetModemLine(ModemLine line, bool on) override {
    int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    // A pseudo-terminal refuses (ENOTTY, EINVAL): it has no modem lines.
    return Ioctl(on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
  }

  bool Read(uint8_t* buffer, std::size_t count, std::size_t* received) override {
    *received = 0;
    const uint32_t total =
        clock_.TickMs() + kCallTimeoutMs + kByteTimeoutMs * static_cast<uint32_t>(count);
    uint32_t lastByte = 0;
    std::size_t got = 0;
    // The answer to bytes just written has rarely come yet: wait before the
    // first read instead of asking for nothing.
    bool wait = std::exchange(wroteSinceRead_, false);
    while (got < count) {
      if (wait) {
        int32_t left = Remaining(clock_, total);
        if (got > 0) left = std::min(left, Remaining(clock_, lastByte + kByteTimeoutMs));
        if (left <= 0) break;
        pollfd p{fd_, POLLIN, 0};
        int r = poll(&p, 1, left);
        if (r < 0 && errno != EINTR) return false;
        // Data that came before a hang-up is still read; the next read reports it.
        if (r > 0 && !(p.revents & POLLIN) && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
          return false;
      }
      wait = true;
      ssize_t n = ::read(fd_, buffer + got, count - got);
      if (n > 0) {
        got += static_cast<std::size_t>(n);
        *received = got;
        lastByte = clock_.TickMs();
        wait = false;
        continue;
      }
      if (n == 0) return false;  // end of file: the other side is gone
      if (errno == EINTR) {
        wait = false;
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) return false;  // EIO: hung up
    }
    return true;
  }

  void Purge(bool transmit, bool receive) override {
    if (transmit && receive) tcflush(fd_, TCIOFLUSH);
    else if (transmit) tcflush(fd_, TCOFLUSH);
    else if (receive) tcflush(fd_, TCIFLUSH);
    if (transmit) Sent(clock_.TickMs());  // what was queued will never leave
  }

  uint32_t TakeLineErrors() override {
    if (!haveCounters_) return 0;
    posix_serial::LineCounters now;
    if (!posix_serial::ReadLineCounters(fd_, &now)) return 0;
    uint32_t flags = 0;
    if (now.frame != counters_.frame) flags |= kLineErrorFrame;
    if (now.overrun != counters_.overrun) flags |= kLineErrorOverrun;
    if (now.parity != counters_.parity) flags |= kLineErrorParity;
    if (now.brk != counters_.brk) flags |= kLineErrorBreak;
    counters_ = now;
    return flags;
  }

 private:
  int Ioctl(unsigned long request, void* arg) { return control_->Ioctl(fd_, request, arg); }

  uint32_t QueuedBytes() {
    int queued = 0;
    if (Ioctl(TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
    return static_cast<uint32_t>(queued);
  }

  // count more bytes in the driver. The line sends them after those before,
  // at the rate: lineFree_ (and lineFreeUs_ microseconds) is the earliest
  // moment the last of them can have left.
  void Queued(std::size_t count) {
    if (Remaining(clock_, lineFree_) < 0) {
      lineFree_ = clock_.TickMs();
      lineFreeUs_ = 0;
    }
    lineFreeUs_ += static_cast<uint64_t>(count) * kBitsPerByte * 1'000'000u / static_cast<uint32_t>(rate_);
    lineFree_ += static_cast<uint32_t>(lineFreeUs_ / 1000);
    lineFreeUs_ %= 1000;
    unsent_ = true;
    wroteSinceRead_ = true;
  }

  // Everything written has left, at tick.
  void Sent(uint32_t tick) {
    unsent_ = false;
    leftAt_ = tick;
  }

  // Waits until the driver's output queue is empty or the deadline passes.
  // tcdrain() would do it without any limit. Naps last about as long as the
  // queued bytes need on the wire, in microseconds: at 1 Mbit/s a byte takes
  // 10 us, and a whole-millisecond nap after every command byte would cost
  // more than the transfer itself.
  void WaitDrained(uint32_t deadline) {
    for (;;) {
      const uint32_t queued = QueuedBytes();
      const int32_t left = Remaining(clock_, deadline);
      if (queued == 0 || left <= 0) return;
      const uint64_t lineUs =
          static_cast<uint64_t>(queued) * kBitsPerByte * 1'000'000u / static_cast<uint32_t>(rate_);
      const uint64_t napUs = std::min<uint64_t>(
          {std::max<uint64_t>(lineUs, kDrainPollMinUs), kDrainPollMaxMs * 1000u,
           static_cast<uint64_t>(left) * 1000u});
      timespec nap{static_cast<time_t>(napUs / 1'000'000), static_cast<long>(napUs % 1'000'000) * 1000};
      nanosleep(&nap, nullptr);
    }
  }

  int fd_;
  Clock& clock_;
  const posix_serial::DeviceControl system_{};
  const posix_serial::DeviceControl* control_;
  int rate_ = 9600;
  bool unsent_ = false;          // written since the queue was last seen empty
  bool wroteSinceRead_ = false;  // the next read waits for an answer
  uint32_t leftAt_ = 0;          // when the last written byte left
  uint32_t lineFree_ = 0;
  uint64_t lineFreeUs_ = 0;
  bool haveCounters_ = false;
  posix_serial::LineCounters counters_;
};

}  // namespace

int posix_serial::DeviceControl::Ioctl(int fd, unsigned long request, void* arg) const {
  return ::ioctl(fd, request, arg);
}

std::unique_ptr<Port> OpenPosixPort(const std::string& path, Clock& clock, std::string* reason,
                                    const posix_serial::DeviceControl* control) {
  auto fail = [&](const char* what, int err) -> std::unique_ptr<Port> {
    if (reason) *reason = std::string(what) + ": " + std::strerror(err);
    return nullptr;
  };
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail("open", errno);
  if (!isatty(fd)) {
    ::close(fd);
    return fail("open", ENOTTY);
  }
  // TIOCEXCL keeps other openers out but not root; the flock holds against
  // every program that locks as well, root included.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) {
      if (reason) *reason = "in use by another program";
      return nullptr;
    }
    return fail("lock", err);
  }
  const posix_serial::DeviceControl system{};
  if ((control ? *control : system).Ioctl(fd, TIOCEXCL, nullptr) != 0 && !NotSupported(errno)) {
    int err = errno;
    ::close(fd);
    return fail("exclusive use", err);
  }
  return std::make_unique<PosixPort>(fd, clock, control);
}

}  // namespace flash
