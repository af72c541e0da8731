#pragma once
// Real time for everything that waits on a device, but fixed delays (sleeps)
// are skipped: the clock jumps ahead instead. End-to-end tests over a real
// pseudo-terminal use it so that the 1.5 s and 250 ms pauses of a download
// cost nothing while time-outs still mean what they say.
#include <atomic>
#include <chrono>

#include "base/Clock.h"

namespace flash::test {

class SkippingClock final : public Clock {
 public:
  uint32_t TickMs() override { return static_cast<uint32_t>(NowMs()); }
  WallTime Now() override {
    int64_t ms = WallMs();
    return {ms / 1000, static_cast<int>(ms % 1000)};
  }
  LocalDate Today() override { return {2026, 12, 8}; }
  void SleepMs(uint32_t ms) override { skipped_ += ms; }

 private:
  int64_t NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + skipped_;
  }
  int64_t WallMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() + skipped_;
  }
  std::atomic<int64_t> skipped_{0};
};

}  // namespace flash::test
