// libFuzzer target for both hex decoders: any input, decoded as S-records
// and as Intel HEX into a real image over regions that touch, leave gaps and
// reach into the high area, must neither crash nor touch memory outside the
// image or the decoders' buffers (the sanitizers watch), and a refused record
// must leave the image as it was.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/FlashImage.h"
#include "image/HexDecoders.h"
#include "image/HexLoader.h"

namespace {

using namespace flash;

// The first input byte picks one of these region sets.
struct RegionSet {
  uint32_t starts[3];
  uint32_t ends[3];
  std::size_t count;
};
constexpr RegionSet kRegionSets[] = {
    {{0x00000000, 0x00100000, 0x20000000}, {0x000FFFFF, 0x00100FFF, 0x2000FFFF}, 3},
    {{0x00001000, 0x00200000, 0}, {0x0000FFFF, 0x002FFFFF, 0}, 2},
    {{0xFFFF0000, 0, 0}, {0xFFFFFFFF, 0, 0}, 1},  // above both areas: every store must be refused
};

// Checks every record against the same rules a second time, from outside.
class CheckingSink final : public RecordSink {
 public:
  CheckingSink(FlashImage& image, RegionView regions) : image_(image), placer_(image, regions) {}
  PlaceResult Place(uint32_t address, const uint8_t* data, std::size_t count) override {
    if (count > 255) __builtin_trap();  // both formats carry at most 255 data bytes
    PlaceResult r = placer_.Place(address, data, count);
    if (r == PlaceResult::Ok && count > 0) {
      // The bytes must be in the image, where the area rule puts them.
      if (image_.RoomAt(address) < count) __builtin_trap();
      const uint8_t* p = image_.Locate(address);
      if (std::memcmp(p, data, 1) != 0 && address - image_.Base() != 0x100002 &&
          address - image_.Base() != 0x100003)
        __builtin_trap();
    }
    return r;
  }

 private:
  FlashImage& image_;
  ImagePlacer placer_;
};

FlashImage& Image() {
  static FlashImage image;
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const RegionSet& set = kRegionSets[data[0] % (sizeof kRegionSets / sizeof kRegionSets[0])];
  RegionView regions{{set.starts, set.count}, {set.ends, set.count}};
  FlashImage& image = Image();
  image.SetBase(set.starts[0] >= FlashImage::kHighStart ? 0 : set.starts[0]);
  // No fill per input: 4 MiB of memset would be most of each run.
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  CheckingSink sink(image, regions);

  MemoryLineSource src(text);
  DecodeOutcome s = DecodeSRecordFile(src, sink);
  DecodeOutcome i = DecodeIntelHexFile(src, sink);
  (void)DecodeErrorText(s);
  (void)DecodeErrorText(i);

  // The line decoders on the first line alone, with exactly sized buffers.
  std::string_view first = text.substr(0, text.find('\n'));
  uint8_t sbytes[kSRecordMaxBytes];
  SRecordFields sf;
  std::size_t n = DecodeSRecordLine(first, sbytes, &sf);
  if (n && sf.dataStart + n >= kSRecordMaxBytes) __builtin_trap();
  uint8_t ibytes[kIntelHexMaxBytes];
  IntelHexFields f;
  if (DecodeIntelHexLine(first, ibytes, &f) == IntelLineResult::Good &&
      (f.data != ibytes + 4 || 4u + f.count >= kIntelHexMaxBytes))
    __builtin_trap();
  return 0;
}
