// One table of read and write timing cases, run against the fake port in
// exact fake time and against the termios port on a pseudo-terminal with
// tolerances, so that the fake keeps to what the real port does.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "base/Clock.h"
#include "support/FakePort.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "link/SerialPortPosix.h"
#include "support/FakeClock.h"
#endif

namespace flash::test {
namespace {

struct Arrival {
  int atMs;  // after the call starts; negative: already waiting before it
  uint8_t byte;
};

struct TimingCase {
  const char* name;
  std::size_t readCount;
  std::vector<Arrival> arrivals;
  bool hungUp;
  bool ok;
  std::size_t received;
  int elapsedMs;
};

const TimingCase kCases[] = {
    {"NothingWaitingOneByte", 1, {}, false, true, 0, 160},
    {"NothingWaitingEightBytes", 8, {}, false, true, 0, 720},
    {"AllQueued", 3, {{-1, 1}, {-1, 2}, {-1, 3}}, false, true, 3, 0},
    {"PartQueuedThenIntervalTimeout", 4, {{-1, 1}, {-1, 2}}, false, true, 2, 80},
    {"LateByte", 1, {{100, 7}}, false, true, 1, 100},
    {"GapLongerThanInterval", 2, {{-1, 1}, {200, 2}}, false, true, 1, 80},
    {"CloseBytesThenInterval", 4, {{50, 1}, {100, 2}, {150, 3}}, false, true, 3, 230},
    {"LateFirstByteHitsTheTotal", 2, {{200, 1}, {300, 2}}, false, true, 1, 240},
    {"HungUpPeer", 4, {}, true, false, 0, 0},
};

struct Outcome {
  bool ok = false;
  std::size_t received = 0;
  std::vector<uint8_t> bytes;
  int elapsedMs = 0;
};

std::vector<uint8_t> ExpectedBytes(const TimingCase& c) {
  std::vector<uint8_t> out;
  for (std::size_t i = 0; i < c.received; ++i) out.push_back(c.arrivals[i].byte);
  return out;
}

Outcome RunOnFake(const TimingCase& c) {
  FakeClock clock(1000);
  FakePortFactory factory;
  factory.Bind(clock);
  std::string reason;
  auto port = factory.Open(1, &reason);
  port->Configure(115200);
  FakeLine& line = *factory.line;
  for (const Arrival& a : c.arrivals)
    line.SendAt(a.atMs < 0 ? clock.TickMs() : clock.TickMs() + static_cast<uint32_t>(a.atMs), a.byte);
  if (c.hungUp) line.hangUpAt = clock.TickMs();
  Outcome o;
  std::vector<uint8_t> buf(c.readCount);
  const uint32_t start = clock.TickMs();
  o.ok = port->Read(buf.data(), buf.size(), &o.received);
  o.elapsedMs = static_cast<int>(clock.TickMs() - start);
  o.bytes.assign(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(o.received));
  return o;
}

class PortContract : public ::testing::TestWithParam<TimingCase> {};

TEST_P(PortContract, FakePortInExactTime) {
  const TimingCase& c = GetParam();
  Outcome o = RunOnFake(c);
  EXPECT_EQ(o.ok, c.ok);
  EXPECT_EQ(o.received, c.received);
  EXPECT_EQ(o.bytes, ExpectedBytes(c));
  EXPECT_EQ(o.elapsedMs, c.elapsedMs);
}

#if !defined(_WIN32)
// The master side of a pseudo-terminal, closed with the object.
struct PtyPair {
  PtyPair() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) slavePath = ptsname(master);
  }
  ~PtyPair() { CloseMaster(); }
  void CloseMaster() {
    if (master >= 0) close(master);
    master = -1;
  }
  int master = -1;
  std::string slavePath;
};

constexpr int kLateToleranceMs = 150;

TEST_P(PortContract, PosixPortOnAPseudoTerminal) {
  const TimingCase& c = GetParam();
  PtyPair pty;
  ASSERT_FALSE(pty.slavePath.empty());
  SystemClock clock;
  std::string reason;
  auto port = OpenPosixPort(pty.slavePath, clock, &reason);
  ASSERT_TRUE(port) << reason;
  ASSERT_EQ(port->Configure(115200), 0);

  std::vector<Arrival> later;
  for (const Arrival& a : c.arrivals) {
    if (a.atMs < 0) ASSERT_EQ(write(pty.master, &a.byte, 1), 1);
    else later.push_back(a);
  }
  if (c.hungUp) pty.CloseMaster();
  // Let queued bytes pass the terminal layer before the call starts.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));

  using Steady = std::chrono::steady_clock;
  const Steady::time_point start = Steady::now();
  std::thread feeder([&] {
    for (const Arrival& a : later) {
      std::this_thread::sleep_until(start + std::chrono::milliseconds(a.atMs));
      (void)!write(pty.master, &a.byte, 1);
    }
  });
  Outcome o;
  std::vector<uint8_t> buf(c.readCount);
  o.ok = port->Read(buf.data(), buf.size(), &o.received);
  o.elapsedMs = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
  feeder.join();
  o.bytes.assign(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(o.received));

  EXPECT_EQ(o.ok, c.ok);
  EXPECT_EQ(o.received, c.received);
  EXPECT_EQ(o.bytes, ExpectedBytes(c));
  // A scheduler may be late, never early; a loaded build machine (two test
  // processes and a sanitizer on two cores) can be late by a good 100 ms.
  EXPECT_GE(o.elapsedMs, c.elapsedMs - 2);
  EXPECT_LE(o.elapsedMs, c.elapsedMs + kLateToleranceMs);
}

TEST(PosixPortWrite, HungUpPeerFailsAtOnceAndALivePeerGetsTheBytes) {
  PtyPair pty;
  SystemClock clock;
  std::string reason;
  auto port = OpenPosixPort(pty.slavePath, clock, &reason);
  ASSERT_TRUE(port) << reason;
  ASSERT_EQ(port->Configure(9600), 0);
  const uint8_t bytes[] = {0x18, 0x00, 0x40};
  ASSERT_TRUE(port->Write(bytes, 3));
  uint8_t got[3] = {};
  ASSERT_EQ(read(pty.master, got, 3), 3);
  EXPECT_EQ(std::vector<uint8_t>(got, got + 3), std::vector<uint8_t>(bytes, bytes + 3));

  pty.CloseMaster();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(port->Write(bytes, 1));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}
#endif

TEST(FakePortWrite, ReturnsAtOnceTheDrainTakesTheWireTimeAndAHungUpLineFails) {
  FakeClock clock;
  FakePortFactory factory;
  factory.Bind(clock);
  std::string reason;
  auto port = factory.Open(1, &reason);
  port->Configure(9600);
  std::vector<uint8_t> program(4096, 0x55);
  ASSERT_TRUE(port->Write(program.data(), program.size()));
  EXPECT_EQ(clock.TotalAdvancedMs(), 0u);
  // 4096 bytes at 9600 baud leave in 4267 ms, inside the drain's limit.
  uint32_t left = 0;
  ASSERT_TRUE(port->Drain(&left));
  EXPECT_EQ(clock.TotalAdvancedMs(), 4267u);
  EXPECT_EQ(left, clock.TickMs());
  // Asked again later, it names the same moment and waits no more.
  clock.Advance(500);
  ASSERT_TRUE(port->Drain(&left));
  EXPECT_EQ(left, clock.TickMs() - 500);
  factory.line->hangUpAt = clock.TickMs();
  EXPECT_FALSE(port->Write(program.data(), 1));
}

#if !defined(_WIN32)
TEST(PosixPortDrain, NamesAMomentNoLaterThanItsReturnAndNoEarlierThanTheWire) {
  PtyPair pty;
  SystemClock clock;
  std::string reason;
  auto port = OpenPosixPort(pty.slavePath, clock, &reason);
  ASSERT_TRUE(port) << reason;
  ASSERT_EQ(port->Configure(9600), 0);
  // 96 bytes at 9600 baud: 100 ms on a real line. A pseudo-terminal hands
  // them over at once, but they cannot have left before the line allows.
  const std::vector<uint8_t> bytes(96, 0x5A);
  const uint32_t before = clock.TickMs();
  ASSERT_TRUE(port->Write(bytes.data(), bytes.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  uint32_t left = 0;
  ASSERT_TRUE(port->Drain(&left));
  const uint32_t after = clock.TickMs();
  EXPECT_GE(left - before, 100u);
  EXPECT_LE(static_cast<int32_t>(left - after), 0);
  std::vector<uint8_t> got(bytes.size());
  std::size_t have = 0;
  for (int tries = 0; have < got.size() && tries < 50; ++tries) {
    const ssize_t n = read(pty.master, got.data() + have, got.size() - have);
    if (n > 0) have += static_cast<std::size_t>(n);
    else std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(got, bytes);
}
#endif

INSTANTIATE_TEST_SUITE_P(Cases, PortContract, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TimingCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace flash::test
