// Pseudo-terminals are POSIX; this file holds everything the server needs of them.
#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sim/LineRate.h"
#include "sim/PreciseWaits.h"
#include "sim/PtyServer.h"

namespace flash::sim {

namespace {

// Longest the server sleeps with nothing to do, so Stop and PullCable are
// seen at once (they also wake it) and a stuck poll cannot hang it.
constexpr int kIdlePollMs = 100;
// Pause after a read error (a hung-up line) before the next look.
constexpr int kErrorBackoffMs = 10;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

PtyServer::PtyServer(BoardConfig config) : board_(std::move(config)) {}

PtyServer::~PtyServer() { Stop(); }

int64_t PtyServer::NowUs() const {
  using namespace std::chrono;
  return (duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() - startNs_) /
         1000;
}

bool PtyServer::Start(std::string* error) {
  auto fail = [&](const char* what) {
    if (error) *error = std::string(what) + ": " + std::strerror(errno);
    CloseFd(master_);
    CloseFd(heldSlave_);
    CloseFd(wake_[0]);
    CloseFd(wake_[1]);
    return false;
  };
  if (Running()) return true;
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) return fail("posix_openpt");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return fail("unlockpt");
  char name[256];
  if (::ptsname_r(master_, name, sizeof name) != 0) return fail("ptsname");
  slavePath_ = name;
  heldSlave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (heldSlave_ < 0) return fail("open slave");
  // Raw from the start: an echoing line discipline would hand the board its
  // own answers back before the host has set up the port.
  termios t{};
  if (::tcgetattr(heldSlave_, &t) != 0) return fail("tcgetattr");
  ::cfmakeraw(&t);
  if (::tcsetattr(heldSlave_, TCSANOW, &t) != 0) return fail("tcsetattr");
  WriteLineRate(heldSlave_, board_.Rate());
  if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) return fail("pipe");
  using namespace std::chrono;
  startNs_ = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
  stop_ = false;
  pulled_ = false;
  pullRequested_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void PtyServer::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    char c = 1;
    [[maybe_unused]] auto n = ::write(wake_[1], &c, 1);
    thread_.join();
  }
  HangUp();
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
  if (!linkPath_.empty()) {
    ::unlink(linkPath_.c_str());
    linkPath_.clear();
  }
}

bool PtyServer::MakeLink(const std::string& path, std::string* error) {
  ::unlink(path.c_str());  // only a link may be replaced: unlink never removes a directory
  if (::symlink(slavePath_.c_str(), path.c_str()) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return false;
  }
  linkPath_ = path;
  return true;
}

void PtyServer::CloseLine() {
  CloseFd(master_);
  CloseFd(heldSlave_);
}

void PtyServer::HangUp() {
  std::lock_guard<std::mutex> lock(mutex_);
  CloseLine();
}

void PtyServer::PullCable() {
  if (!thread_.joinable()) {
    HangUp();
    pulled_ = true;
    return;
  }
  // The serving thread closes the line itself: a descriptor closed while
  // another thread polls it is only released (and the pty only hung up) when
  // that poll returns.
  std::unique_lock<std::mutex> lock(mutex_);
  pullRequested_ = true;
  char c = 1;
  [[maybe_unused]] auto n = ::write(wake_[1], &c, 1);
  pulledChanged_.wait(lock, [this] { return pulled_.load(); });
}

void PtyServer::Serve() {
  std::vector<uint8_t> buffer(4096);
  UsePreciseWaits();
  while (!stop_) {
    // Waits to the microsecond: at 1 Mbit/s a byte lasts 10 us, and a wait
    // rounded up to whole milliseconds would slow every answer down.
    int64_t timeoutUs = int64_t{kIdlePollMs} * 1000;
    int master;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      master = master_;
      if (auto due = board_.NextDueUs())
        timeoutUs = std::clamp<int64_t>(*due - NowUs(), 0, timeoutUs);
    }
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master, POLLIN, 0}};
    timespec timeout{static_cast<time_t>(timeoutUs / 1'000'000),
                     static_cast<long>(timeoutUs % 1'000'000) * 1000};
    int n = ::ppoll(fds, master >= 0 ? 2 : 1, &timeout, nullptr);
    if (n < 0 && errno != EINTR) ::usleep(kErrorBackoffMs * 1000);
    if (fds[0].revents & POLLIN) {
      char drain[64];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (pullRequested_ && !pulled_) {
      CloseLine();
      pulled_ = true;
      pulledChanged_.notify_all();
    }
    if (master_ < 0) continue;  // the cable is off: nothing to serve
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t got = ::read(master_, buffer.data(), buffer.size());
      if (got > 0) {
        // With a pull pending, the cable comes off right after its last byte.
        const long limit = pullAfter_;
        std::size_t take = static_cast<std::size_t>(got);
        if (limit >= 0)
          take = std::min<std::size_t>(take, static_cast<std::size_t>(
                                                 std::max<long>(0, limit - board_.Stats().bytesReceived)));
        board_.Receive(buffer.data(), take, ReadLineRate(master_), NowUs());
        if (limit >= 0 && board_.Stats().bytesReceived >= limit) {
          CloseLine();
          pulled_ = true;
          pulledChanged_.notify_all();
          continue;
        }
      } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
        lock.unlock();
        ::usleep(kErrorBackoffMs * 1000);
        continue;
      }
    }
    if (master_ < 0) continue;
    std::vector<uint8_t> out = board_.TakeDue(NowUs(), ReadLineRate(master_));
    // Nobody listening and the buffer full: the bytes are lost, as on a wire.
    std::size_t done = 0;
    while (done < out.size()) {
      ssize_t w = ::write(master_, out.data() + done, out.size() - done);
      if (w <= 0) break;
      done += static_cast<std::size_t>(w);
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (pullRequested_ && !pulled_) {  // stopped before it got to the request
    CloseLine();
    pulled_ = true;
    pulledChanged_.notify_all();
  }
}

}  // namespace flash::sim
