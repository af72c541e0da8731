#include "sim/FlashModel.h"

#include <algorithm>

namespace flash::sim {

FlashModel::FlashModel(std::vector<Region> regions) : regions_(std::move(regions)) {
  for (const Region& r : regions_) areas_.push_back({r, std::vector<uint8_t>(r.Size(), kErased)});
}

std::size_t FlashModel::TotalSize() const {
  std::size_t total = 0;
  for (const Area& a : areas_) total += a.bytes.size();
  return total;
}

const FlashModel::Area* FlashModel::Find(uint32_t address) const {
  for (const Area& a : areas_)
    if (address >= a.region.start && address <= a.region.end) return &a;
  return nullptr;
}

FlashModel::Area* FlashModel::Find(uint32_t address) {
  return const_cast<Area*>(static_cast<const FlashModel*>(this)->Find(address));
}

uint8_t FlashModel::Read(uint32_t address) const {
  const Area* a = Find(address);
  return a ? a->bytes[address - a->region.start] : kErased;
}

void FlashModel::Poke(uint32_t address, uint8_t value) {
  if (Area* a = Find(address)) a->bytes[address - a->region.start] = value;
}

bool FlashModel::Program(uint32_t address, uint8_t value) {
  Area* a = Find(address);
  if (!a) return true;
  uint8_t& cell = a->bytes[address - a->region.start];
  cell = static_cast<uint8_t>(cell & value);
  return cell == value;
}

void FlashModel::EraseAll() {
  for (Area& a : areas_) std::fill(a.bytes.begin(), a.bytes.end(), kErased);
}

std::optional<uint32_t> FlashModel::FirstNotBlank(uint32_t start, uint32_t endInclusive) const {
  std::optional<uint32_t> first;
  for (const Area& a : areas_) {
    uint32_t lo = std::max(start, a.region.start);
    uint32_t hi = std::min(endInclusive, a.region.end);
    if (lo > hi) continue;
    auto begin = a.bytes.begin() + (lo - a.region.start);
    auto end = a.bytes.begin() + (hi - a.region.start) + 1;
    auto it = std::find_if(begin, end, [](uint8_t b) { return b != kErased; });
    if (it == end) continue;
    uint32_t address = a.region.start + static_cast<uint32_t>(it - a.bytes.begin());
    if (!first || address < *first) first = address;
  }
  return first;
}

std::vector<uint8_t> FlashModel::Dump() const {
  std::vector<uint8_t> out;
  out.reserve(TotalSize());
  for (const Area& a : areas_) out.insert(out.end(), a.bytes.begin(), a.bytes.end());
  return out;
}

bool FlashModel::Restore(const std::vector<uint8_t>& bytes) {
  if (bytes.size() != TotalSize()) return false;
  auto from = bytes.begin();
  for (Area& a : areas_) {
    std::copy(from, from + static_cast<std::ptrdiff_t>(a.bytes.size()), a.bytes.begin());
    from += static_cast<std::ptrdiff_t>(a.bytes.size());
  }
  return true;
}

uint8_t PatternByte(uint32_t address) {
  return static_cast<uint8_t>((address ^ (address >> 8) ^ (address >> 16)) * 0x9D + 0x5A);
}

void FlashModel::FillPattern() {
  for (Area& a : areas_)
    for (std::size_t i = 0; i < a.bytes.size(); ++i)
      a.bytes[i] = PatternByte(a.region.start + static_cast<uint32_t>(i));
}

}  // namespace flash::sim
