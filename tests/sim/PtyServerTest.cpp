// Serving the board on a pseudo-terminal: the host side opens the slave as a
// plain terminal here, so these tests need no serial port code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "sim/BoardTestUtil.h"
#include "sim/HostTerminal.h"
#include "sim/PtyServer.h"
#include "support/TempDir.h"

namespace flash::sim::test {
namespace {

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
