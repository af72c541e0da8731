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

// Two characters at once, indexed by first * 256 + second: the byte they
// spell, or kPairBad when either is not a digit. One lookup per byte keeps
// the decoders at several hundred MB/s.
inline constexpr uint16_t kPairBad = 0x100;

struct PairTable {
  uint16_t v[65536];
};

inline const PairTable& Pairs() {
  static const PairTable table = [] {
    PairTable t{};
    for (unsigned a = 0; a < 256; ++a)
      for (unsigned b = 0; b < 256; ++b) {
        unsigned hi = kDigitValue[a], lo = kDigitValue[b];
        t.v[a * 256 + b] = ((hi | lo) & kNotHex) ? kPairBad : static_cast<uint16_t>(hi << 4 | lo);
      }
    return t;
  }();
  return table;
}

// Decodes text[0..n) two characters per byte, the first giving the high four
// bits, into out, stopping after maxBytes bytes; a last odd character is not
// decoded. Every character of the text must be a digit, also those after the
// decoded pairs. Returns the number of bytes, or -1 when a character is not a
// digit; *sum gets the sum of the decoded bytes.
inline long DecodePairs(const char* text, std::size_t n, uint8_t* out, std::size_t maxBytes,
                        unsigned* sum) {
  const uint16_t* pairs = Pairs().v;
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  const std::size_t count = n / 2 < maxBytes ? n / 2 : maxBytes;
  unsigned bad = 0, total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned v = pairs[t[2 * i] << 8 | t[2 * i + 1]];
    bad |= v;
    total += v;
    out[i] = static_cast<uint8_t>(v);
  }
  for (std::size_t i = 2 * count; i < n; ++i) bad |= Digit(text[i]) << 4;
  if (bad & kPairBad) return -1;
  *sum = total;
  return static_cast<long>(count);
}

}  // namespace flash::hexdigits
