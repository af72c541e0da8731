#include "sim/ControlProgram.h"

#include <algorithm>
#include <cstring>

namespace flash::sim {

std::vector<uint8_t> MakeControlProgram(const std::string& device, const std::string& crystal,
                                        std::size_t size) {
  std::vector<uint8_t> out(kControlProgramSignature, kControlProgramSignature + kSignatureSize);
  out.push_back(kUnpatchedCrystal);
  out.insert(out.end(), device.begin(), device.end());
  out.push_back(0);
  out.insert(out.end(), crystal.begin(), crystal.end());
  out.push_back(0);
  // Filler that is not all one value, so a lost or doubled byte changes the sum.
  for (std::size_t i = 0; out.size() < size; ++i) out.push_back(static_cast<uint8_t>(i * 37 + 11));
  return out;
}

std::optional<ControlProgramInfo> ParseControlProgram(const std::vector<uint8_t>& image) {
  if (image.size() <= kCrystalIndexOffset + 2) return std::nullopt;
  if (std::memcmp(image.data(), kControlProgramSignature, kSignatureSize) != 0) return std::nullopt;
  ControlProgramInfo info;
  info.crystalIndex = image[kCrystalIndexOffset];
  auto text = image.begin() + kCrystalIndexOffset + 1;
  auto end0 = std::find(text, image.end(), 0);
  if (end0 == image.end()) return std::nullopt;
  info.device.assign(text, end0);
  auto end1 = std::find(end0 + 1, image.end(), 0);
  if (end1 == image.end()) return std::nullopt;
  info.crystal.assign(end0 + 1, end1);
  return info;
}

}  // namespace flash::sim
