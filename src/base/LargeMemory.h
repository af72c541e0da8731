#pragma once
// Large zeroed memory taken straight from the system. On Linux it asks for
// huge pages: the 4 MiB flash image is filled at every load, and in 4 KiB
// pages its first fill alone costs a thousand page faults, more than
// decoding a dense file takes.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace flash {

struct LargeMemoryRelease {
  std::size_t size = 0;
  void operator()(uint8_t* p) const;
};
using LargeMemory = std::unique_ptr<uint8_t[], LargeMemoryRelease>;

// size bytes, all 0; throws std::bad_alloc when the system has none.
LargeMemory AllocateLarge(std::size_t size);

}  // namespace flash
