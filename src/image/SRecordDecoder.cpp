// Motorola S-records: S1/S2/S3 data lines are checked and placed; header,
// count and end lines are skipped unread, and reading goes on after an end line.
#include "image/HexDecoders.h"
#include "image/HexDigits.h"

namespace flash {

std::string DecodeErrorText(const DecodeOutcome& outcome) {
  const char* what = nullptr;
  switch (outcome.error) {
    case DecodeError::None: return {};
    case DecodeError::File: what = "file error in "; break;
    case DecodeError::SFormat: what = "S-format error in "; break;
    case DecodeError::Decode: what = "decode error in "; break;
    case DecodeError::Record: what = "record error in "; break;
    case DecodeError::Address: what = "address error in "; break;
    case DecodeError::Read: what = "file read error in "; break;
  }
  return what + std::to_string(outcome.line);
}

std::size_t DecodeSRecordLine(std::string_view line, uint8_t* bytes, SRecordFields* fields) {
  if (line.size() < 2 || line[0] != 'S') return 0;
  std::size_t width;
  switch (line[1]) {
    case '1': width = 2; break;
    case '2': width = 3; break;
    case '3': width = 4; break;
    default: return 0;
  }
  unsigned sum = 0;
  long decoded = hexdigits::DecodePairs(line.data() + 2, line.size() - 2, bytes, kSRecordMaxBytes, &sum);
  if (decoded < 1) return 0;
  std::size_t count = bytes[0];
  // The count covers address, data and checksum: every pair after itself.
  if (count != static_cast<std::size_t>(decoded) - 1) return 0;
  if (count < width + 2) return 0;  // no data byte
  if ((sum & 0xFF) != 0xFF) return 0;  // the sum of bytes 0..count, which is all of them
  uint32_t address = 0;
  for (std::size_t i = 1; i <= width; ++i) address = (address << 8) | bytes[i];
  fields->address = address;
  fields->dataStart = width + 1;
  return count - width - 1;
}

DecodeOutcome DecodeSRecordFile(LineSource& source, RecordSink& sink) {
  source.Rewind();
  uint8_t bytes[kSRecordMaxBytes];
  uint64_t lineNumber = 0;
  std::string_view line;
  for (;;) {
    ++lineNumber;
    LineStatus st = source.Next(line);
    if (st == LineStatus::End) return {};
    if (st == LineStatus::ReadError) return {DecodeError::Read, lineNumber};
    if (line.empty()) continue;
    if (line[0] != 'S') return {DecodeError::File, lineNumber};
    char type = line.size() > 1 ? line[1] : '\0';
    switch (type) {
      // S6 is the 24-bit count line that tools write into files of 65,536
      // records or more; like S5 it is never read.
      case '0': case '5': case '6': case '7': case '8': case '9':
        continue;
      case '1': case '2': case '3':
        break;
      default:
        return {DecodeError::SFormat, lineNumber};
    }
    SRecordFields fields;
    // Characters beyond the decoded pairs must be hex digits too, also where
    // the source did not keep them.
    std::size_t n = source.CutPartIsHex() ? DecodeSRecordLine(line, bytes, &fields) : 0;
    if (n == 0) return {DecodeError::Decode, lineNumber};
    if (sink.Place(fields.address, bytes + fields.dataStart, n) != PlaceResult::Ok)
      return {DecodeError::Address, lineNumber};
  }
}

}  // namespace flash
