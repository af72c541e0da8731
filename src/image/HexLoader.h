#pragma once
// Filling the flash image from the user's hex file.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/FlashImage.h"
#include "image/HexDecoders.h"

namespace flash {

struct Session;
struct SessionState;

// Fills both image areas with fill, opens hexFilePath, picks the decoder by
// the first character (':' Intel HEX, 'S' S-records) and decodes the whole
// file into the image. True when every line was decoded; false after a
// failure, which has been reported (message box, or the result file in
// unattended runs).
bool LoadHexFile(Session& s, bool fullOperation, uint8_t fill);

// Told of every data record a load accepts, of every run of bytes it
// actually stores, and of every run an accepted record carried that was not
// stored (base-area indices 0x100002 and 0x100003, which split a run); for
// tools that describe a file. Addresses are as the record gives them.
class StoreObserver {
 public:
  virtual ~StoreObserver() = default;
  virtual void Accepted(uint32_t /*address*/, std::size_t /*count*/) {}
  virtual void Stored(uint32_t address, std::size_t count) = 0;
  virtual void Dropped(uint32_t /*address*/, std::size_t /*count*/) {}
};

enum class HexFormat { Unknown, SRecord, IntelHex };

// What a load found, for callers that describe it beyond the user's boxes.
struct LoadDetails {
  HexFormat format = HexFormat::Unknown;
  std::string caption;  // of the failure, empty after success
  std::string text;     // the failure's text
  bool shown = false;   // whether a box or the result file carried the failure
};

// LoadHexFile that also tells observer of every stored run and fills details.
bool LoadHexFile(Session& s, bool fullOperation, uint8_t fill, StoreObserver* observer,
                 LoadDetails* details);

// The flash regions of the selected device: starts and inclusive ends,
// ascending and not overlapping.
struct RegionView {
  std::span<const uint32_t> starts;
  std::span<const uint32_t> ends;
};
RegionView RegionsOf(const SessionState& state);

// Whether count bytes from address cover one of the base-area indices
// 0x100002 and 0x100003, which a load always leaves at the fill byte.
bool CoversKeptBytes(const FlashImage& image, uint32_t address, std::size_t count);

// Checks one data record against the flash regions of the session and stores
// its bytes, except any at base-area indices 0x100002 and 0x100003, which
// always keep the fill byte. A record that would reach outside both image
// areas, or wrap past 0xFFFFFFFF, is an address error. An empty record (Intel
// HEX count 0) stores nothing and is never refused.
PlaceResult PlaceDataRecord(Session& s, uint32_t address, const uint8_t* data, std::size_t count);

// The same checks and stores on an image and regions of the caller's.
class ImagePlacer final : public RecordSink {
 public:
  ImagePlacer(FlashImage& image, RegionView regions, StoreObserver* observer = nullptr)
      : image_(image), regions_(regions), observer_(observer) {}
  PlaceResult Place(uint32_t address, const uint8_t* data, std::size_t count) override;

 private:
  FlashImage& image_;
  RegionView regions_;
  StoreObserver* observer_;
};

}  // namespace flash
