// flashcli decode: what loading a file finds, so that a file can be checked
// against the selected device before anyone programs it.
#include <algorithm>
#include <bit>
#include <cstdio>
#include <utility>
#include <vector>

#include "base/Catalogue.h"
#include "base/FileUtil.h"
#include "base/Session.h"
#include "cli/CliSession.h"
#include "image/HexLoader.h"

namespace flash::cli {

void PrintLoadFailure(const LoadDetails& d);

namespace {

// Which image bytes the file set, one bit per byte of both areas, and which
// bytes its records carried that the loader did not store.
class SetBytes final : public StoreObserver {
 public:
  explicit SetBytes(uint32_t base) : base_(base), bits_((kBits + 63) / 64) {}

  void Accepted(uint32_t, std::size_t) override { ++records; }
  void Stored(uint32_t address, std::size_t count) override {
    for (std::size_t k = 0; k < count; ++k) {
      std::size_t bit = Bit(static_cast<uint32_t>(address + k));
      bits_[bit / 64] |= uint64_t{1} << (bit % 64);
    }
  }
  void Dropped(uint32_t address, std::size_t count) override {
    if (count) dropped_.emplace_back(address, uint64_t{address} + count);
  }
  // The runs not stored, first address and one past the last, ascending;
  // runs from different records that overlap or touch are one.
  std::vector<std::pair<uint64_t, uint64_t>> DroppedRuns() const {
    std::vector<std::pair<uint64_t, uint64_t>> runs(dropped_);
    std::sort(runs.begin(), runs.end());
    std::vector<std::pair<uint64_t, uint64_t>> merged;
    for (const auto& r : runs) {
      if (!merged.empty() && r.first <= merged.back().second)
        merged.back().second = std::max(merged.back().second, r.second);
      else
        merged.push_back(r);
    }
    return merged;
  }
  bool IsSet(uint32_t address) const {
    std::size_t bit = Bit(address);
    return bit < kBits && (bits_[bit / 64] >> (bit % 64) & 1);
  }
  // Set bytes from first to last inclusive (64-bit to allow 0xFFFFFFFF).
  uint64_t CountSet(uint64_t first, uint64_t last) const {
    uint64_t n = 0;
    for (uint64_t a = first; a <= last; ++a) n += IsSet(static_cast<uint32_t>(a));
    return n;
  }
  // Every set address in ascending order, to f.
  template <typename F>
  void ForEachSet(F f) const {
    for (std::size_t w = 0; w < bits_.size(); ++w)
      for (uint64_t word = bits_[w]; word; word &= word - 1)
        f(Address(w * 64 + static_cast<std::size_t>(std::countr_zero(word))));
  }

  uint64_t records = 0;

 private:
  static constexpr std::size_t kBits = FlashImage::kBaseSize + FlashImage::kHighSize;
  // Base area first, then the high area: ascending addresses, as base < 0x20000000.
  std::size_t Bit(uint32_t a) const {
    if (a >= FlashImage::kHighStart) {
      uint32_t i = a - FlashImage::kHighStart;
      return i < FlashImage::kHighSize ? FlashImage::kBaseSize + i : kBits;
    }
    uint32_t i = a - base_;
    return a >= base_ && i < FlashImage::kBaseSize ? i : kBits;
  }
  uint32_t Address(std::size_t bit) const {
    return bit < FlashImage::kBaseSize ? base_ + static_cast<uint32_t>(bit)
                                       : FlashImage::kHighStart + static_cast<uint32_t>(bit - FlashImage::kBaseSize);
  }
  uint32_t base_;
  std::vector<uint64_t> bits_;
  std::vector<std::pair<uint64_t, uint64_t>> dropped_;
};

int RunDecode(const Options& options) {
  int exitCode = 0;
  auto cli = CliSession::Start(options, &exitCode);
  if (!cli) return exitCode;
  Session& s = cli->session();
  SessionState& st = s.state;
  st.hexFilePath = AbsolutePath(options.positional.at(0));
  st.hexFileName = FileNamePart(st.hexFilePath);
  SetBytes set(st.image.Base());
  LoadDetails details;
  if (!LoadHexFile(s, false, 0xFF, &set, &details)) {
    PrintLoadFailure(details);
    return kExitFailure;
  }
  uint64_t total = 0;
  uint32_t lowest = 0, highest = 0;
  set.ForEachSet([&](uint32_t a) {
    if (total++ == 0) lowest = a;
    highest = a;
  });
  std::printf("file             %s\n", st.hexFilePath.c_str());
  std::printf("device           %s\n", st.DeviceName().c_str());
  std::printf("format           %s\n", details.format == HexFormat::IntelHex ? "Intel HEX" : "S-records");
  std::printf("records placed   %llu\n", static_cast<unsigned long long>(set.records));
  std::printf("bytes set        %llu\n", static_cast<unsigned long long>(total));
  if (total) {
    std::printf("lowest address   %s\n", AddressText(lowest).c_str());
    std::printf("highest address  %s\n", AddressText(highest).c_str());
  }
  std::printf("region  start      end        size       bytes set\n");
  uint64_t inRegions = 0;
  for (int i = 0; i < st.regionCount; ++i) {
    const uint32_t a = st.regionStarts[static_cast<std::size_t>(i)];
    const uint32_t e = st.regionEnds[static_cast<std::size_t>(i)];
    const uint64_t n = set.CountSet(a, e);
    inRegions += n;
    std::printf("%-6d  %s  %s  %s  %llu\n", i + 1, AddressText(a).c_str(), AddressText(e).c_str(),
                AddressText(e - a + 1).c_str(), static_cast<unsigned long long>(n));
  }
  // Only records ending at 0x00100002 or 0x00100003 can set bytes there.
  std::printf("outside regions  %llu\n", static_cast<unsigned long long>(total - inRegions));
  for (const auto& [first, end] : set.DroppedRuns()) {
    const uint64_t n = end - first;
    std::printf("not stored: %s-%s, %llu byte%s\n", AddressText(static_cast<uint32_t>(first)).c_str(),
                AddressText(static_cast<uint32_t>(end - 1)).c_str(), static_cast<unsigned long long>(n),
                n == 1 ? "" : "s");
  }
  return kExitOk;
}

const Registration kDecode{{"decode", "FILE",
                            "load FILE and show the records, addresses and bytes per region it sets",
                            1, 1, RunDecode}};

}  // namespace
}  // namespace flash::cli
