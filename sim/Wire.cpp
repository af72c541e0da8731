#include "sim/Wire.h"

#include <cmath>

namespace flash::sim {

namespace {

// Line level (1 = idle/mark) at time t, in units of the sender's bit time.
int Level(const uint8_t* data, std::size_t count, double senderBits) {
  if (senderBits < 0) return 1;
  auto bit = static_cast<std::size_t>(senderBits);
  std::size_t byte = bit / kBitsPerByte;
  std::size_t pos = bit % kBitsPerByte;
  if (byte >= count) return 1;
  if (pos == 0) return 0;
  if (pos == kBitsPerByte - 1) return 1;
  return (data[byte] >> (pos - 1)) & 1;
}

}  // namespace

int64_t ByteTimeUs(int rate) {
  if (rate <= 0) return 0;
  return (int64_t{kBitsPerByte} * 1'000'000 + rate - 1) / rate;
}

std::vector<WireByte> CrossWire(const uint8_t* data, std::size_t count, int sendRate,
                                int receiveRate) {
  std::vector<WireByte> out;
  if (sendRate <= 0 || receiveRate <= 0) return out;
  if (sendRate == receiveRate) {
    for (std::size_t i = 0; i < count; ++i) out.push_back({data[i], false});
    return out;
  }
  // Time in sender bit units; one receiver bit lasts ratio of them.
  const double ratio = static_cast<double>(sendRate) / receiveRate;
  const double endOfBurst = static_cast<double>(count) * kBitsPerByte;
  double cursor = 0;
  while (cursor < endOfBurst) {
    // Next low level at a sender bit boundary at or after the cursor: a start edge.
    double edge = std::ceil(cursor);
    if (Level(data, count, cursor) == 0) edge = cursor;
    while (edge < endOfBurst && Level(data, count, edge) != 0) edge += 1;
    if (edge >= endOfBurst) break;
    if (Level(data, count, edge + 0.5 * ratio) != 0) {  // a glitch, not a start bit
      cursor = edge + 0.5 * ratio;
      continue;
    }
    WireByte b;
    for (int i = 0; i < 8; ++i)
      if (Level(data, count, edge + (i + 1.5) * ratio)) b.value = static_cast<uint8_t>(b.value | (1u << i));
    double stopSample = edge + 9.5 * ratio;
    b.framingError = Level(data, count, stopSample) == 0;
    out.push_back(b);
    cursor = stopSample;
    if (b.framingError) {  // wait for the line to go idle again
      while (cursor < endOfBurst && Level(data, count, cursor) == 0) cursor = std::floor(cursor) + 1;
    }
  }
  return out;
}

}  // namespace flash::sim
