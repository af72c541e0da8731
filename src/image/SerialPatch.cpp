#include "image/SerialPatch.h"

#include <cstring>

#include "base/FlashImage.h"

namespace flash {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseAddress(std::string_view text, uint32_t& address, std::string& error) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  if (text.empty()) {
    error = "the serial number's address is missing";
    return false;
  }
  uint64_t value = 0;
  for (char c : text) {
    const int digit = HexValue(c);
    if (digit < 0) {
      error = "the serial number's address \"" + std::string(text) + "\" is not hexadecimal";
      return false;
    }
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) {
      error = "the serial number's address " + std::string(text) + " is above FFFFFFFF";
      return false;
    }
  }
  address = static_cast<uint32_t>(value);
  return true;
}

bool ParseWidth(std::string_view text, unsigned& width, std::string& error) {
  const std::string bad = "the serial number's width \"" + std::string(text) +
                          "\" is not a number of bytes from 1 to 8";
  if (text.empty() || text.size() > 2) {
    error = text.empty() ? "the serial number's width is missing" : bad;
    return false;
  }
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      error = bad;
      return false;
    }
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > kSerialMaxWidth) {
    error = bad;
    return false;
  }
  width = value;
  return true;
}

bool ParseFormat(std::string_view text, SerialFormat& format, std::string& error) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (SerialFormat f : {SerialFormat::Le, SerialFormat::Be, SerialFormat::Bcd,
                         SerialFormat::Ascii}) {
    if (lower == SerialFormatName(f)) {
      format = f;
      return true;
    }
  }
  error = "the serial number's format \"" + std::string(text) +
          "\" is none of le, be, bcd, ascii";
  return false;
}

// 10^exponent, for exponents up to 19 (the largest below 2^64).
uint64_t PowerOfTen(unsigned exponent) {
  uint64_t value = 1;
  for (unsigned i = 0; i < exponent; ++i) value *= 10;
  return value;
}

// How many numbers the width holds in the format; 0 when every uint64_t fits.
uint64_t NumbersThatFit(const SerialSpec& spec) {
  switch (spec.format) {
    case SerialFormat::Le:
    case SerialFormat::Be:
      return spec.width >= 8 ? 0 : uint64_t{1} << (8 * spec.width);
    case SerialFormat::Bcd:
      return spec.width >= 10 ? 0 : PowerOfTen(2 * spec.width);
    case SerialFormat::Ascii:
      return spec.width >= 20 ? 0 : PowerOfTen(spec.width);
  }
  return 0;
}

}  // namespace

const char* SerialFormatName(SerialFormat format) {
  switch (format) {
    case SerialFormat::Le: return "le";
    case SerialFormat::Be: return "be";
    case SerialFormat::Bcd: return "bcd";
    case SerialFormat::Ascii: return "ascii";
  }
  return "le";
}

bool ParseSerialSpec(std::string_view text, SerialSpec& spec, std::string& error) {
  const std::size_t first = text.find(':');
  if (first == std::string_view::npos) {
    error = "the serial number's place \"" + std::string(text) + "\" is not ADDR:WIDTH[:FORMAT]";
    return false;
  }
  const std::string_view rest = text.substr(first + 1);
  const std::size_t second = rest.find(':');
  if (second != std::string_view::npos && rest.find(':', second + 1) != std::string_view::npos) {
    error = "the serial number's place \"" + std::string(text) + "\" has more than three parts";
    return false;
  }
  SerialSpec parsed;
  if (!ParseAddress(text.substr(0, first), parsed.address, error)) return false;
  if (!ParseWidth(rest.substr(0, second), parsed.width, error)) return false;
  if (second != std::string_view::npos &&
      !ParseFormat(rest.substr(second + 1), parsed.format, error)) {
    return false;
  }
  if (uint64_t{parsed.address} + parsed.width - 1 > 0xFFFFFFFFu) {
    error = "the serial number's bytes run past address FFFFFFFF";
    return false;
  }
  spec = parsed;
  return true;
}

bool SerialFitsRegions(const SerialSpec& spec, const uint32_t* regionStarts,
                       const uint32_t* regionEnds, std::size_t count) {
  if (spec.width == 0) return false;
  // In 64 bits, so that a region ending at FFFFFFFF does not wrap.
  const uint64_t first = spec.address;
  const uint64_t last = first + spec.width - 1;
  for (std::size_t i = 0; i < count; ++i) {
    if (regionStarts[i] <= first && last <= regionEnds[i]) return true;
  }
  return false;
}

bool EncodeSerial(uint64_t number, const SerialSpec& spec, std::vector<uint8_t>& bytes,
                  std::string& error) {
  if (spec.width < 1 || spec.width > kSerialMaxWidth) {
    error = "the serial number's width " + std::to_string(spec.width) + " is not from 1 to 8";
    return false;
  }
  const uint64_t limit = NumbersThatFit(spec);
  if (limit != 0 && number >= limit) {
    error = "the serial number " + std::to_string(number) + " does not fit in " +
            std::to_string(spec.width) + " byte(s) as " + SerialFormatName(spec.format) +
            " (at most " + std::to_string(limit - 1) + ")";
    return false;
  }
  std::vector<uint8_t> out(spec.width);
  uint64_t rest = number;
  // Filled from the least significant end, which is the last byte but for le.
  for (std::size_t i = 0; i < spec.width; ++i) {
    const std::size_t at = spec.format == SerialFormat::Le ? i : spec.width - 1 - i;
    switch (spec.format) {
      case SerialFormat::Le:
      case SerialFormat::Be:
        out[at] = static_cast<uint8_t>(rest & 0xFF);
        rest >>= 8;
        break;
      case SerialFormat::Bcd:
        out[at] = static_cast<uint8_t>((rest / 10 % 10) << 4 | rest % 10);
        rest /= 100;
        break;
      case SerialFormat::Ascii:
        out[at] = static_cast<uint8_t>('0' + rest % 10);
        rest /= 10;
        break;
    }
  }
  bytes = std::move(out);
  return true;
}

bool ApplySerial(FlashImage& image, const SerialSpec& spec, const std::vector<uint8_t>& bytes,
                 std::string* why) {
  if (image.WriteBytes(spec.address, bytes.data(), bytes.size())) return true;
  if (why) *why = "the serial number's bytes do not lie in the flash image";
  return false;
}

}  // namespace flash
