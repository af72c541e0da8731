#pragma once
// Builders of well-formed records for the image tests, and a sink that
// records what a decoder placed.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/HexDecoders.h"

namespace flash::test {

inline std::string HexBytes(const std::vector<uint8_t>& bytes) {
  std::string s;
  char b[3];
  for (uint8_t v : bytes) {
    std::snprintf(b, sizeof b, "%02X", v);
    s += b;
  }
  return s;
}

// "S1".."S3" with the right count and checksum.
inline std::string SLine(int type, uint32_t address, const std::vector<uint8_t>& data) {
  const int width = type == 1 ? 2 : type == 2 ? 3 : 4;
  std::vector<uint8_t> bytes{static_cast<uint8_t>(width + data.size() + 1)};
  for (int i = width - 1; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (uint8_t v : bytes) sum += v;
  bytes.push_back(static_cast<uint8_t>(~sum));
  return "S" + std::to_string(type) + HexBytes(bytes);
}

// An Intel HEX record with the right checksum.
inline std::string ILine(uint8_t type, uint16_t offset, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(offset >> 8),
                             static_cast<uint8_t>(offset), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (uint8_t v : bytes) sum += v;
  bytes.push_back(static_cast<uint8_t>(-sum));
  return ":" + HexBytes(bytes);
}

struct PlacedRecord {
  uint32_t address;
  std::vector<uint8_t> data;
  bool operator==(const PlacedRecord&) const = default;
};

// Accepts every record (or refuses from the n-th on) and keeps them.
class RecordingSink final : public RecordSink {
 public:
  PlaceResult Place(uint32_t address, const uint8_t* data, std::size_t count) override {
    if (refuseFrom && records.size() + 1 >= refuseFrom) return PlaceResult::AddressError;
    records.push_back({address, std::vector<uint8_t>(data, data + count)});
    return PlaceResult::Ok;
  }
  std::vector<PlacedRecord> records;
  std::size_t refuseFrom = 0;  // 1: the first record is refused; 0: none
};

}  // namespace flash::test
