#include "base/FlashImage.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace flash {

FlashImage::FlashImage() : memory_(AllocateLarge(kBaseSize + kHighSize)) {}

void FlashImage::Fill(uint8_t fill) {
  std::memset(BaseArea(), fill, kBaseSize);
  std::memset(HighArea(), fill, kHighSize);
}

uint8_t* FlashImage::Locate(uint32_t address) {
  return const_cast<uint8_t*>(static_cast<const FlashImage*>(this)->Locate(address));
}

const uint8_t* FlashImage::Locate(uint32_t address) const {
  if (address >= kHighStart) {
    uint32_t index = address - kHighStart;
    return index < kHighSize ? HighArea() + index : nullptr;
  }
  if (address < base_) return nullptr;
  uint32_t index = address - base_;
  return index < kBaseSize ? BaseArea() + index : nullptr;
}

std::size_t FlashImage::RoomAt(uint32_t address) const {
  if (!Locate(address)) return 0;
  if (address >= kHighStart) return kHighSize - (address - kHighStart);
  return kBaseSize - (address - base_);
}

bool FlashImage::WriteBytes(uint32_t address, const uint8_t* data, std::size_t count) {
  uint8_t* at = Locate(address);
  if (!at || RoomAt(address) < count) return false;
  if (count > 0) std::memcpy(at, data, count);
  return true;
}

uint8_t FlashImage::At(uint32_t address, uint8_t fillOutside) const {
  const uint8_t* p = Locate(address);
  return p ? *p : fillOutside;
}

void FlashImage::ReadBlock(uint32_t address, uint8_t* out, std::size_t count,
                           uint8_t fillOutside) const {
  const uint8_t* p = Locate(address);
  std::size_t room = p ? RoomAt(address) : 0;
  std::size_t n = count < room ? count : room;
  if (n) std::memcpy(out, p, n);
  if (n < count) std::memset(out + n, fillOutside, count - n);
}

}  // namespace flash
