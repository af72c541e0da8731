// Serving the board on a pseudo-terminal: the host side opens the slave as a
// plain terminal here, so these tests need no serial port code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>

#include "sim/BoardTestUtil.h"
#include "sim/LineRate.h"
#include "sim/PtyServer.h"
#include "support/TempDir.h"

namespace flash::sim::test {
namespace {

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

TEST(PtyServer, AnswersOverThePtyAtTheRateTheHostSet) {
  PtyServer server(TwoRegionConfig());
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  {
    HostTerminal wrong(server.SlavePath(), 19200);
    ASSERT_GE(wrong.fd, 0);
    ASSERT_TRUE(wrong.Write({kBootSync, kBootSync}));
    // The board judges bytes by the rate set when it reads them: let it read
    // these before the rate changes.
    for (int i = 0; i < kAnswerWaitMs && server.WithBoard([](Board& b) { return b.Stats().bytesReceived; }) < 2; ++i)
      ::usleep(1000);
  }
  HostTerminal host(server.SlavePath(), 9600);
  ASSERT_TRUE(host.Write({kBootSync}));
  EXPECT_EQ(host.Read(1), std::vector<uint8_t>{kBootSyncAnswer});
  EXPECT_EQ(server.WithBoard([](Board& b) { return b.Stats().syncs; }), 1);
}

TEST(PtyServer, SurvivesReopeningAndJunkAndStillServes) {
  PtyServer server(TwoRegionConfig());
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  uint32_t seed = 7;
  for (int i = 0; i < 100; ++i) {
    HostTerminal host(server.SlavePath(), i % 3 ? 9600 : 115200);
    ASSERT_GE(host.fd, 0) << "open " << i;
    std::vector<uint8_t> junk(i % 17);
    for (uint8_t& b : junk) b = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    host.Write(junk);
  }
  server.WithBoard([](Board& b) { b.Reset(); });
  HostTerminal host(server.SlavePath(), 9600);
  ASSERT_TRUE(host.Write({kBootSync}));
  EXPECT_EQ(host.Read(1), std::vector<uint8_t>{kBootSyncAnswer});
}

TEST(PtyServer, LinkNamesTheSlaveAndGoesWithTheServer) {
  flash::test::TempDir dir;
  const std::string link = dir.File("COM1");
  {
    PtyServer server(TwoRegionConfig());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    ASSERT_TRUE(server.MakeLink(link, &error)) << error;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), server.SlavePath());
    HostTerminal host(link, 9600);
    ASSERT_TRUE(host.Write({kBootSync}));
    EXPECT_EQ(host.Read(1), std::vector<uint8_t>{kBootSyncAnswer});
  }
  EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST(PtyServer, PulledCableFailsTheHostsWrites) {
  PtyServer server(TwoRegionConfig());
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  HostTerminal host(server.SlavePath(), 9600);
  ASSERT_TRUE(host.Write({kBootSync}));
  ASSERT_EQ(host.Read(1).size(), 1u);
  server.PullCable();
  EXPECT_TRUE(server.CablePulled());
  EXPECT_FALSE(host.Write({kBootSync}));
  EXPECT_LT(::open(server.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), 0);
}

}  // namespace
}  // namespace flash::sim::test
