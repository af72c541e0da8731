#pragma once
#include <cstdint>

#include "base/Clock.h"

namespace flash::test {

// Test time: advances only when asked to, or when someone sleeps.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(uint32_t tickStart = 0, int64_t wallStartMs = 1'700'000'000'000)
      : tick_(tickStart), wallMs_(wallStartMs) {}
  uint32_t TickMs() override { return tick_; }
  WallTime Now() override { return {wallMs_ / 1000, static_cast<int>(wallMs_ % 1000)}; }
  LocalDate Today() override { return date_; }
  void SleepMs(uint32_t ms) override { Advance(ms); }

  void Advance(uint32_t ms) {
    tick_ += ms;  // wraps as the real counter does
    wallMs_ += ms;
    sleptMs_ += ms;
  }
  void SetDate(LocalDate d) { date_ = d; }
  void SetWallMs(int64_t ms) { wallMs_ = ms; }
  uint64_t TotalAdvancedMs() const { return sleptMs_; }

 private:
  uint32_t tick_;
  int64_t wallMs_;
  uint64_t sleptMs_ = 0;
  LocalDate date_{2026, 12, 8};
};

}  // namespace flash::test
