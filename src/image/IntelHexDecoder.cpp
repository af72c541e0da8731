// Intel HEX: data records are placed at the extended base (types 02 and 04)
// plus their offset; an end-of-file record ends the file, whatever follows.
#include "image/HexDecoders.h"
#include "image/HexDigits.h"

namespace flash {
namespace {

constexpr uint8_t kTypeData = 0x00;
constexpr uint8_t kTypeEnd = 0x01;
constexpr uint8_t kTypeSegment = 0x02;
constexpr uint8_t kTypeStartSegment = 0x03;
constexpr uint8_t kTypeLinear = 0x04;
constexpr uint8_t kTypeStartLinear = 0x05;

}  // namespace

IntelLineResult DecodeIntelHexLine(std::string_view line, uint8_t* bytes, IntelHexFields* fields) {
  if (line.empty() || line[0] != ':') return IntelLineResult::NotRecord;
  unsigned sum = 0;
  long decoded = hexdigits::DecodePairs(line.data() + 1, line.size() - 1, bytes, kIntelHexMaxBytes, &sum);
  if (decoded < 1) return IntelLineResult::Malformed;
  const std::size_t count = bytes[0];
  if (static_cast<std::size_t>(decoded) != count + 5) return IntelLineResult::Malformed;
  if ((sum & 0xFF) != 0) return IntelLineResult::Malformed;  // all count + 5 bytes
  const uint8_t type = bytes[3];
  static constexpr int kRequiredCount[] = {-1, 0, 2, 4, 2, 4};
  if (type >= 1 && type <= 5 && static_cast<int>(count) != kRequiredCount[type])
    return IntelLineResult::WrongCount;
  fields->type = type;
  fields->count = static_cast<uint8_t>(count);
  fields->data = bytes + 4;
  const uint32_t value = (uint32_t{bytes[1]} << 8) | bytes[2];
  if (type == kTypeSegment || type == kTypeLinear) {
    const uint32_t base = (uint32_t{bytes[4]} << 8) | bytes[5];
    fields->address = type == kTypeSegment ? base << 4 : base << 16;
  } else {
    fields->address = value;
  }
  return IntelLineResult::Good;
}

DecodeOutcome DecodeIntelHexFile(LineSource& source, RecordSink& sink) {
  source.Rewind();
  uint8_t bytes[kIntelHexMaxBytes];
  uint64_t lineNumber = 0;
  uint32_t extendedBase = 0;
  std::string_view line;
  for (;;) {
    ++lineNumber;
    LineStatus st = source.Next(line);
    if (st == LineStatus::End) return {};
    if (st == LineStatus::ReadError) return {DecodeError::Read, lineNumber};
    if (line.empty()) continue;
    IntelHexFields f;
    IntelLineResult r = DecodeIntelHexLine(line, bytes, &f);
    // The character check covers what the source cut off the line as well.
    if (r != IntelLineResult::NotRecord && !source.CutPartIsHex()) r = IntelLineResult::Malformed;
    switch (r) {
      case IntelLineResult::Good: break;
      case IntelLineResult::NotRecord: return {DecodeError::File, lineNumber};
      case IntelLineResult::Malformed: return {DecodeError::Decode, lineNumber};
      case IntelLineResult::WrongCount: return {DecodeError::Record, lineNumber};
    }
    switch (f.type) {
      case kTypeEnd:
        return {};
      case kTypeStartSegment:
      case kTypeStartLinear:
        continue;
      case kTypeSegment:
      case kTypeLinear:
        extendedBase = f.address;
        continue;
      case kTypeData:
        break;
      default:
        return {DecodeError::Decode, lineNumber};
    }
    // Unsigned 32-bit sum, as the records define it; a record that then runs
    // past 0xFFFFFFFF is refused by the sink.
    const uint32_t address = extendedBase + f.address;
    if (sink.Place(address, f.data, f.count) != PlaceResult::Ok)
      return {DecodeError::Address, lineNumber};
  }
}

}  // namespace flash
