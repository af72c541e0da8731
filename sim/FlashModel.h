#pragma once
// The flash of the simulated MCU: its regions, erased to FFH. Programming can
// only clear bits, as on the real cells; a byte that would need a 0 to become
// a 1 stays as it was and is reported, so the control program can answer a
// verify error.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flash::sim {

inline constexpr uint8_t kErased = 0xFF;

struct Region {
  uint32_t start = 0;
  uint32_t end = 0;  // inclusive
  std::size_t Size() const { return static_cast<std::size_t>(end - start) + 1; }
};

class FlashModel {
 public:
  // Regions must not overlap; each is allocated as given (the caller keeps
  // them to a sensible size).
  explicit FlashModel(std::vector<Region> regions);

  const std::vector<Region>& Regions() const { return regions_; }
  bool Contains(uint32_t address) const { return Find(address) != nullptr; }
  std::size_t TotalSize() const;

  // FFH outside every region, as an unconnected bus reads.
  uint8_t Read(uint32_t address) const;
  // Sets a byte without the programming rule (initial content, tests).
  void Poke(uint32_t address, uint8_t value);

  // value AND old into the cell. False when the result is not value (a bit
  // would have had to go from 0 to 1). Addresses outside the regions are ignored.
  bool Program(uint32_t address, uint8_t value);
  void EraseAll();

  // First address in [start, endInclusive] within the regions whose byte is
  // not FFH; nothing when all of it is erased.
  std::optional<uint32_t> FirstNotBlank(uint32_t start, uint32_t endInclusive) const;

  // The regions one after the other as raw bytes (what --save-flash writes).
  std::vector<uint8_t> Dump() const;
  // The reverse of Dump; false when the size does not match.
  bool Restore(const std::vector<uint8_t>& bytes);
  // A fixed, recognisable non-blank content: each byte is derived from its address.
  void FillPattern();

 private:
  struct Area {
    Region region;
    std::vector<uint8_t> bytes;
  };
  const Area* Find(uint32_t address) const;
  Area* Find(uint32_t address);

  std::vector<Region> regions_;
  std::vector<Area> areas_;
};

// The byte FillPattern puts at an address.
uint8_t PatternByte(uint32_t address);

}  // namespace flash::sim
