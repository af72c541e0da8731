// What a UART at one rate makes of bytes sent at another.
#include <gtest/gtest.h>

#include "sim/Wire.h"

namespace flash::sim {
namespace {

struct WireCase {
  const char* name;
  std::vector<uint8_t> sent;
  int sendRate;
  int receiveRate;
  std::vector<uint8_t> received;
  std::vector<bool> framing;
};

class WireTest : public ::testing::TestWithParam<WireCase> {};

TEST_P(WireTest, SamplesMidBit) {
  const WireCase& c = GetParam();
  auto got = CrossWire(c.sent.data(), c.sent.size(), c.sendRate, c.receiveRate);
  std::vector<uint8_t> values;
  std::vector<bool> framing;
  for (const WireByte& b : got) {
    values.push_back(b.value);
    framing.push_back(b.framingError);
  }
  EXPECT_EQ(values, c.received);
  EXPECT_EQ(framing, c.framing);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, WireTest,
    ::testing::Values(
        WireCase{"SameRate", {0x18, 0x00, 0xFF}, 9600, 9600, {0x18, 0x00, 0xFF}, {false, false, false}},
        // A 1 % drift stays within half a bit over ten bits.
        WireCase{"SmallDrift", {0x55, 0xA5, 0x31}, 9600, 9696, {0x55, 0xA5, 0x31}, {false, false, false}},
        // Receiving at half the rate: every other bit of 0x18 is sampled.
        WireCase{"HalfRate", {0x18}, 19200, 9600, {0xFA}, {false}},
        // Receiving at twice the rate: a zero byte is long enough to break the stop bit.
        WireCase{"DoubleRateZero", {0x00}, 9600, 19200, {0x00}, {true}},
        WireCase{"NoRate", {0x31}, 0, 9600, {}, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Wire, ByteTime) {
  EXPECT_EQ(ByteTimeUs(9600), 1042);  // 10 bits, rounded up
  EXPECT_EQ(ByteTimeUs(115200), 87);
  EXPECT_EQ(ByteTimeUs(0), 0);
}

TEST(Wire, GarbledBurstNeverLoopsOrOverflows) {
  std::vector<uint8_t> burst(600);
  for (std::size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<uint8_t>(i * 7);
  for (int receive : {1, 300, 4800, 57600, 1'000'000, 2'000'000'000}) {
    auto got = CrossWire(burst.data(), burst.size(), 9600, receive);
    EXPECT_LE(got.size(), burst.size() * 10) << receive;
  }
}

}  // namespace
}  // namespace flash::sim
