#pragma once
// The bytes that are to go into the target's flash, in two fixed areas.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/LargeMemory.h"

namespace flash {

class FlashImage {
 public:
  static constexpr uint32_t kBaseSize = 0x300000;     // from the image base upward
  static constexpr uint32_t kHighStart = 0x20000000;  // the high area's first address
  static constexpr uint32_t kHighSize = 0x100000;

  // Allocates both areas once; they live as long as the image. Their bytes
  // are 0 until the first Fill (every load begins with one), so a program
  // that never loads a file pays nothing for the 4 MiB.
  FlashImage();

  // The image base is the start of the first flash region of the selected device.
  void SetBase(uint32_t base) { base_ = base; }
  uint32_t Base() const { return base_; }

  // Every byte of both areas := fill.
  void Fill(uint8_t fill);

  // Area rule: addresses from kHighStart upward live in the high area, all
  // others in the base area. Null when the address lies outside its area.
  uint8_t* Locate(uint32_t address);
  const uint8_t* Locate(uint32_t address) const;
  // Bytes available from address to the end of its area (0 outside).
  std::size_t RoomAt(uint32_t address) const;

  // count bytes from address := data, all in the area the first address
  // selects. False, and the image untouched, when they do not all fit there.
  bool WriteBytes(uint32_t address, const uint8_t* data, std::size_t count);

  // The byte at address; fillOutside when the address lies outside its area.
  uint8_t At(uint32_t address, uint8_t fillOutside = 0xFF) const;

  // count bytes from address, all from the area the first address selects;
  // bytes past the end of that area read as fillOutside.
  void ReadBlock(uint32_t address, uint8_t* out, std::size_t count,
                 uint8_t fillOutside = 0xFF) const;

  uint8_t* BaseArea() { return memory_.get(); }
  uint8_t* HighArea() { return memory_.get() + kBaseSize; }
  const uint8_t* BaseArea() const { return memory_.get(); }
  const uint8_t* HighArea() const { return memory_.get() + kBaseSize; }

 private:
  LargeMemory memory_;  // the base area, then the high area
  uint32_t base_ = 0;
};

}  // namespace flash
