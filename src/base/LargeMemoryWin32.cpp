// Windows side of large memory: VirtualAlloc gives zeroed pages.
#include <windows.h>

#include <new>

#include "base/LargeMemory.h"

namespace flash {

void LargeMemoryRelease::operator()(uint8_t* p) const {
  if (p) VirtualFree(p, 0, MEM_RELEASE);
}

LargeMemory AllocateLarge(std::size_t size) {
  void* p = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!p) throw std::bad_alloc();
  return LargeMemory(static_cast<uint8_t*>(p), LargeMemoryRelease{size});
}

}  // namespace flash
