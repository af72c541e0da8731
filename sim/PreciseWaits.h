#pragma once
// The board's answers are due to the microsecond: at 1 Mbit/s a byte lasts
// 10 us, while Linux lets a timed wait of a normal thread end up to 50 us
// late (its timer slack), which would make every answer late.
namespace flash::sim {

// Asks the system to end the calling thread's timed waits on time.
void UsePreciseWaits();

}  // namespace flash::sim
