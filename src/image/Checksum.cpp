#include "image/Checksum.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/Session.h"
#include "image/HexDigits.h"
#include "image/HexLoader.h"

namespace flash {
namespace {

// Sum of n bytes, eight at a time: the bytes of a word are added pairwise
// into four 16-bit lanes, which are folded before they can overflow. The
// plain byte loop is not vectorised at -O2 and cost more than decoding.
uint32_t SumBytes(const uint8_t* p, std::size_t n) {
  constexpr uint64_t kLow = 0x00FF00FF00FF00FFull;
  constexpr std::size_t kWordsPerFold = 128;  // 128 * 2 * 255 < 65536
  uint32_t total = 0;
  while (n >= 8) {
    std::size_t words = std::min(n / 8, kWordsPerFold);
    uint64_t lanes = 0;
    for (std::size_t i = 0; i < words; ++i, p += 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);
      lanes += (w & kLow) + ((w >> 8) & kLow);
    }
    total += static_cast<uint32_t>((lanes & 0xFFFF) + (lanes >> 16 & 0xFFFF) +
                                   (lanes >> 32 & 0xFFFF) + (lanes >> 48));
    n -= words * 8;
  }
  while (n--) total += *p++;
  return total;
}

}  // namespace

int ImageChecksum(Session& s, uint8_t fill) {
  if (!LoadHexFile(s, false, fill)) return kChecksumFailed;
  return SumRegions(s.state, fill);
}

int SumRegions(const SessionState& st, uint8_t fill) {
  const RegionView regions = RegionsOf(st);
  uint32_t sum = 0;
  for (std::size_t i = 0; i < regions.ends.size(); ++i) {
    // 64-bit walk: a region may end at 0xFFFFFFFF.
    uint64_t a = regions.starts[i];
    const uint64_t end = regions.ends[i];
    while (a <= end) {
      const uint32_t addr = static_cast<uint32_t>(a);
      const uint64_t left = end - a + 1;
      const uint8_t* p = st.image.Locate(addr);
      if (!p) {
        // The catalogue refuses regions outside the image; should one slip
        // through, its bytes up to the next area count as unset.
        uint64_t next = end + 1;
        if (a < st.image.Base()) next = std::min<uint64_t>(next, st.image.Base());
        else if (a < FlashImage::kHighStart) next = std::min<uint64_t>(next, FlashImage::kHighStart);
        sum += static_cast<uint32_t>(((next - a) * fill) & 0xFFFFFFFF);
        a = next;
        continue;
      }
      const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(left, st.image.RoomAt(addr)));
      sum += SumBytes(p, n);
      a += n;
    }
  }
  return static_cast<int>(sum & 0xFFFF);
}

std::optional<uint8_t> ParseFillText(std::string_view fillText) {
  if (fillText.size() < 2) return std::nullopt;
  const uint8_t hi = hexdigits::Digit(fillText[0]);
  const uint8_t lo = hexdigits::Digit(fillText[1]);
  if ((hi | lo) & hexdigits::kNotHex) return std::nullopt;
  return static_cast<uint8_t>(hi * 16 + lo);
}

std::string CheckSumResultText(Session& s, std::string_view fillText) {
  std::optional<uint8_t> fill = ParseFillText(fillText);
  if (!fill) return {};  // the file is not read
  int sum = ImageChecksum(s, *fill);
  if (sum == kChecksumFailed) return {};
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(sum));
  return buf;
}

}  // namespace flash
