#pragma once
// How the board's code writes numbers into its log and reads them off the
// wire; shared by the boot ROM and the control program.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace flash::sim {

inline std::string Hex8(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

inline std::string Hex2(uint8_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v);
  return buf;
}

// Frame and command parameters come least significant byte first.
inline uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reports give addresses and values most significant byte first, so that the
// host, which prints them in the order received, shows them as numbers.
inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

}  // namespace flash::sim
