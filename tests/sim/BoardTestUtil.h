#pragma once
// A scripted host for driving the board without a terminal.
#include <cstdint>
#include <vector>

#include "sim/Board.h"

namespace flash::sim::test {

// DEMO_A: two regions, crystals 4MHz and 8MHz, boot 9600/19200, working twice that.
inline BoardConfig TwoRegionConfig() {
  BoardConfig c;
  c.device = "DEMO_A";
  c.loadAddress = 0x1000;
  c.regions = {{0x00000000, 0x0001FFFF}, {0x00100000, 0x00100FFF}};
  c.clocks = {"4MHz", "8MHz"};
  c.bootRates = {9600, 19200};
  c.workingRates = {19200, 38400};
  c.eraseUs = 1'000'000;
  return c;
}

struct Host {
  Board& board;
  int rate;
  int64_t now = 0;

  // Sends at the host's rate and returns what is due right away.
  std::vector<uint8_t> Send(const std::vector<uint8_t>& bytes) {
    board.Receive(bytes.data(), bytes.size(), rate, now);
    return board.TakeDue(now, rate);
  }
  // Lets time pass and returns what came meanwhile.
  std::vector<uint8_t> Wait(int64_t us) {
    now += us;
    return board.TakeDue(now, rate);
  }
};

inline std::vector<uint8_t> BootFrame(uint8_t command, uint32_t address, uint32_t length) {
  std::vector<uint8_t> f{command};
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(address >> (8 * i)));
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(length >> (8 * i)));
  uint8_t sum = 0;
  for (uint8_t b : f) sum = static_cast<uint8_t>(sum + b);
  f.push_back(sum);
  return f;
}

inline std::vector<uint8_t> Command(uint8_t command, std::vector<uint32_t> params) {
  std::vector<uint8_t> out{command};
  for (uint32_t p : params)
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(p >> (8 * i)));
  return out;
}

// The host's side of a download; returns the answers in order, one per step.
inline std::vector<std::vector<uint8_t>> Download(Host& host, std::vector<uint8_t> program,
                                                  uint32_t loadAddress, int workingRate) {
  std::vector<std::vector<uint8_t>> answers;
  answers.push_back(host.Send({kBootSync}));
  answers.push_back(host.Send(BootFrame(kBootData, loadAddress, static_cast<uint32_t>(program.size()))));
  uint8_t sum = 0;
  for (uint8_t b : program) sum = static_cast<uint8_t>(sum + b);
  program.push_back(sum);
  answers.push_back(host.Send(program));
  answers.push_back(host.Send({kBootSync}));
  answers.push_back(host.Send(BootFrame(kBootStart, 0, 0)));
  host.rate = workingRate;
  answers.push_back(host.Send({kCmdRateCheck}));
  return answers;
}

}  // namespace flash::sim::test
