#pragma once
// The S-record and Intel HEX decoders. Both walk a LineSource and hand every
// data record to a RecordSink, which checks it against the flash regions and
// stores it (ImagePlacer, HexLoader.h). They stop at the first error and say
// which line it arose on; the loader turns that into the user's message.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "image/LineSource.h"

namespace flash {

enum class PlaceResult { Ok, AddressError };

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual PlaceResult Place(uint32_t address, const uint8_t* data, std::size_t count) = 0;
};

// Why decoding stopped.
enum class DecodeError {
  None,
  File,     // "file error in %d": a line that does not begin with the format's mark
  SFormat,  // "S-format error in %d": an S line of no known type
  Decode,   // "decode error in %d"
  Record,   // "record error in %d": an Intel HEX type 01..05 with the wrong count
  Address,  // "address error in %d": the sink refused a data record
  Read,     // "file read error in %d": the file could not be read on
};

struct DecodeOutcome {
  DecodeError error = DecodeError::None;
  uint64_t line = 0;  // counted from 1, empty lines included; 0 when no error
  bool ok() const { return error == DecodeError::None; }
};

// The decoder's text for a failure, e.g. "decode error in 12"; empty for none.
std::string DecodeErrorText(const DecodeOutcome& outcome);

// --- S-records -------------------------------------------------------------

// A data line decodes into at most this many bytes (count, address, data, checksum).
inline constexpr std::size_t kSRecordMaxBytes = 256;

struct SRecordFields {
  uint32_t address = 0;
  std::size_t dataStart = 0;  // position of the first data byte: 3, 4 or 5
};

// Checks and decodes one S1, S2 or S3 line into bytes (room for
// kSRecordMaxBytes). Returns the number of data bytes, 0 when the line fails.
std::size_t DecodeSRecordLine(std::string_view line, uint8_t* bytes, SRecordFields* fields);

// Rewinds the source and decodes every line.
DecodeOutcome DecodeSRecordFile(LineSource& source, RecordSink& sink);

// --- Intel HEX -------------------------------------------------------------

inline constexpr std::size_t kIntelHexMaxBytes = 260;

enum class IntelLineResult : int { Good = 0, NotRecord = 1, Malformed = 2, WrongCount = 3 };

struct IntelHexFields {
  uint8_t type = 0;
  uint8_t count = 0;
  const uint8_t* data = nullptr;  // into the caller's bytes
  // The offset for data records, the new extended base for types 02 and 04.
  uint32_t address = 0;
};

// Checks and decodes one record line into bytes (room for kIntelHexMaxBytes).
IntelLineResult DecodeIntelHexLine(std::string_view line, uint8_t* bytes, IntelHexFields* fields);

// Rewinds the source and decodes up to the end-of-file record or the end.
DecodeOutcome DecodeIntelHexFile(LineSource& source, RecordSink& sink);

}  // namespace flash
