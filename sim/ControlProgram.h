#pragma once
// The control-program files the simulated board accepts. Layout:
//   bytes 0..6  the signature "FSIMCP1"
//   byte  7     the crystal index, patched by the host before sending
//   then        the device name, a 0 byte, the crystal text the file was built
//               for (empty for a file good for every crystal), a 0 byte
//   then        filler up to the size given, standing in for the loader's code
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flash::sim {

inline constexpr char kControlProgramSignature[] = "FSIMCP1";
inline constexpr std::size_t kSignatureSize = 7;
inline constexpr std::size_t kCrystalIndexOffset = 7;
// What a file holds at byte 7 before the host patches it.
inline constexpr uint8_t kUnpatchedCrystal = 0xFF;

struct ControlProgramInfo {
  uint8_t crystalIndex = 0;
  std::string device;
  std::string crystal;  // empty: for every crystal
};

std::vector<uint8_t> MakeControlProgram(const std::string& device, const std::string& crystal,
                                        std::size_t size = 1024);

// Nothing when the bytes are not a control program of this board.
std::optional<ControlProgramInfo> ParseControlProgram(const std::vector<uint8_t>& image);

}  // namespace flash::sim
