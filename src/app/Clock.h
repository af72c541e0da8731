#pragma once
// The one source of time. Every wait in the program asks this clock, so the
// time-out rules can be tested in milliseconds of test time.
#include <cstdint>

namespace flash {

struct WallTime {
  int64_t seconds = 0;  // since the epoch
  int milliseconds = 0;  // 0..999
};

struct LocalDate {
  int year = 1970;
  int month = 1;
  int day = 1;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Millisecond tick counter; 32 bits wide and wraps like the platform's.
  virtual uint32_t TickMs() = 0;
  virtual WallTime Now() = 0;
  virtual LocalDate Today() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
};

class SystemClock final : public Clock {
 public:
  uint32_t TickMs() override;
  WallTime Now() override;
  LocalDate Today() override;
  void SleepMs(uint32_t ms) override;
};

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

}  // namespace flash
