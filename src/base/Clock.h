#pragma once
// The one source of time. Every wait in the program asks this clock, so the
// time-out rules can be tested in milliseconds of test time (tests have a
// fake one).
#include <cstdint>
#include <ctime>

namespace flash {

struct WallTime {
  int64_t seconds = 0;  // since the epoch
  int milliseconds = 0;  // 0..999
};

// to - from in seconds, to the millisecond.
inline double SecondsBetween(const WallTime& from, const WallTime& to) {
  return static_cast<double>(to.seconds - from.seconds) +
         (to.milliseconds - from.milliseconds) / 1000.0;
}

struct LocalDate {
  int year = 1970;
  int month = 1;
  int day = 1;
};

// The local calendar time of a moment (thread-safe, unlike std::localtime).
std::tm LocalTime(int64_t secondsSinceEpoch);

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

}  // namespace flash
