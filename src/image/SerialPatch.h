#pragma once
// A serial number written into the flash image before it is programmed:
// where it goes, how wide it is and how its digits are laid out.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace flash {

class FlashImage;

enum class SerialFormat {
  Le,     // binary, least significant byte first
  Be,     // binary, most significant byte first
  Bcd,    // packed BCD, two digits a byte, most significant digit first
  Ascii,  // decimal digits, zero-padded to the width
};

struct SerialSpec {
  uint32_t address = 0;
  unsigned width = 0;  // bytes, 1..8
  SerialFormat format = SerialFormat::Le;
  bool operator==(const SerialSpec&) const = default;
};

inline constexpr unsigned kSerialMaxWidth = 8;

// "ADDR:WIDTH[:FORMAT]": ADDR hexadecimal with or without 0x, WIDTH 1 to 8
// in decimal, FORMAT le (the default), be, bcd or ascii. The bytes must not
// run past address FFFFFFFF. False with the reason in error; spec is then
// untouched.
bool ParseSerialSpec(std::string_view text, SerialSpec& spec, std::string& error);

// The format's name as ParseSerialSpec reads it ("le", "be", "bcd", "ascii").
const char* SerialFormatName(SerialFormat format);

// Whether the bytes address..address+width-1 all lie inside one of the
// regions [regionStarts[i], regionEnds[i]] (both ends inclusive).
bool SerialFitsRegions(const SerialSpec& spec, const uint32_t* regionStarts,
                       const uint32_t* regionEnds, std::size_t count);

// The width bytes that stand for number in the format --serial names. False with
// the reason in error when number needs more room than the width gives
// (le/be: 256^width, bcd: 10^(2*width), ascii: 10^width).
bool EncodeSerial(uint64_t number, const SerialSpec& spec, std::vector<uint8_t>& bytes,
                  std::string& error);

// Writes bytes into the image at the address --serial names. False with the reason
// in *why (and the image untouched) when they do not all lie in one area.
bool ApplySerial(FlashImage& image, const SerialSpec& spec, const std::vector<uint8_t>& bytes,
                 std::string* why = nullptr);

}  // namespace flash
