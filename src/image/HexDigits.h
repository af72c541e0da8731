#pragma once
// Hex digit pairs decoded by table, shared by both decoders. Only "0"-"9"
// and "A"-"F" are digits; lower case is refused like any other character.
#include <array>
#include <cstddef>
#include <cstdint>

namespace flash::hexdigits {

inline constexpr uint8_t kNotHex = 0x10;

inline constexpr std::array<uint8_t, 256> kDigitValue = [] {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = kNotHex;
  for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = static_cast<uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) t[static_cast<std::size_t>(c)] = static_cast<uint8_t>(c - 'A' + 10);
  return t;
}();

inline uint8_t Digit(char c) { return kDigitValue[static_cast<unsigned char>(c)]; }

// Decodes text[0..n) two characters per byte, the first giving the high four
// bits, into out, stopping after maxBytes bytes; a last odd character is not
// decoded. Every character of the text must be a digit, also those after the
// decoded pairs. Returns the number of bytes, or -1 when a character is not a digit.
inline long DecodePairs(const char* text, std::size_t n, uint8_t* out, std::size_t maxBytes) {
  std::size_t pairs = n / 2 < maxBytes ? n / 2 : maxBytes;
  unsigned bad = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    unsigned hi = Digit(text[2 * i]);
    unsigned lo = Digit(text[2 * i + 1]);
    bad |= hi | lo;
    out[i] = static_cast<uint8_t>((hi << 4) | lo);
  }
  for (std::size_t i = 2 * pairs; i < n; ++i) bad |= Digit(text[i]);
  if (bad & kNotHex) return -1;
  return static_cast<long>(pairs);
}

}  // namespace flash::hexdigits
