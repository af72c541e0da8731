#pragma once
// What a UART receiving at one rate makes of bytes sent back to back at
// another: the line is rebuilt bit by bit (start bit, eight data bits least
// significant first, stop bit) and sampled in the middle of each bit at the
// receiver's rate, so a wrong rate garbles the link as it does on a real wire.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace flash::sim {

inline constexpr int kBitsPerByte = 10;  // start, 8 data, stop

struct WireByte {
  uint8_t value = 0;
  bool framingError = false;  // the stop bit was not high
};

// Rates within a few percent of each other give the bytes back unchanged, as
// the mid-bit sampling absorbs the drift; so do equal rates. A rate of zero or
// less on either side gives nothing.
std::vector<WireByte> CrossWire(const uint8_t* data, std::size_t count, int sendRate, int receiveRate);

// Microseconds one byte takes on the wire at rate.
int64_t ByteTimeUs(int rate);

}  // namespace flash::sim
