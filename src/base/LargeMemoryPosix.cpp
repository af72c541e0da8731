// POSIX side of large memory: an anonymous mapping, aligned to 2 MiB so that
// the kernel can back it with huge pages where it offers them.
#include <sys/mman.h>

#include <new>

#include "base/LargeMemory.h"

namespace flash {
namespace {
constexpr std::size_t kHugePage = 2u << 20;
}

void LargeMemoryRelease::operator()(uint8_t* p) const {
  if (p) munmap(p, size);
}

LargeMemory AllocateLarge(std::size_t size) {
  // Map one huge page more than needed and trim to an aligned start.
  const std::size_t span = size + kHugePage;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  auto* base = static_cast<uint8_t*>(raw);
  const auto addr = reinterpret_cast<uintptr_t>(base);
  const std::size_t lead = (kHugePage - addr % kHugePage) % kHugePage;
  if (lead) munmap(base, lead);
  const std::size_t tail = span - lead - size;
  if (tail) munmap(base + lead + size, tail);
  uint8_t* p = base + lead;
#ifdef MADV_HUGEPAGE
  madvise(p, size, MADV_HUGEPAGE);  // a hint: ignored where huge pages are off
#endif
  return LargeMemory(p, LargeMemoryRelease{size});
}

}  // namespace flash
