#include "base/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace flash {

uint32_t SystemClock::TickMs() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(ms);  // keep the low 32 bits: wraps every 49.7 days
}

WallTime SystemClock::Now() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return {ms / 1000, static_cast<int>(ms % 1000)};
}

std::tm LocalTime(int64_t secondsSinceEpoch) {
  const auto t = static_cast<std::time_t>(secondsSinceEpoch);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  return tm;
}

LocalDate SystemClock::Today() {
  const std::tm tm = LocalTime(std::time(nullptr));
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

void SystemClock::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace flash
