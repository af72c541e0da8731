#pragma once
// The board's own reading of a CHIPDEF.INI section: the few values it plays
// (name, load address, regions, crystals and their rates), read and checked
// by the rules the programmer applies, so that the board accepts exactly the
// sections the programmer lists and runs them at the rates it expects.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flash::profile {
class IniIndex;
}

namespace flash::sim {

struct ChipDefinition {
  std::string name;  // the section name as asked for
  uint32_t loadAddress = 0;
  std::vector<uint32_t> regionStarts, regionEnds;  // the ends inclusive
  std::vector<std::string> clocks;
  std::vector<int32_t> bauds, bauds2;  // no bauds2 when the key is absent
};

// Every key a usable section has is there with a value.
bool HasRequiredKeys(const profile::IniIndex& catalogue, const std::string& section);

// Comma lists lose empty items; address items are signed 32-bit hexadecimal,
// baud items signed decimal (blanks, sign and 0x allowed, the first other
// character ends the number, the signed range caps it); clock items stay as
// written. A missing catalogue or key reads as empty.
ChipDefinition ReadChipDefinition(const profile::IniIndex* catalogue, const std::string& section);
ChipDefinition ReadChipDefinition(const std::string& catalogPath, const std::string& section);

// Why the section cannot be played; nothing when it can.
std::optional<std::string> ChipProblem(const ChipDefinition& def);

// The working rate of a crystal: Baud2, else twice Baud (64 bits, as the
// double of a large Baud is no 32-bit number).
int64_t WorkingRate(const ChipDefinition& def, std::size_t crystal);

}  // namespace flash::sim
