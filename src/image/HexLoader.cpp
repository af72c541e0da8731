#include "image/HexLoader.h"

#include <algorithm>
#include <cstring>

#include "base/FrontEnd.h"
#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"

namespace flash {
namespace {

// Two values with rules of their own. A record whose last address is either
// loads even outside every region. The base-area indices of the same values
// are never stored, whatever the regions: files made for these chips carry a
// word at 0x00100000..0x00100003 whose last two bytes are meant to stay at the
// fill byte, and the checksums users compare against are computed that way.
constexpr uint32_t kKeptLow = 0x00100002;
constexpr uint32_t kKeptHigh = 0x00100003;

bool IsKeptAddress(uint32_t a) { return a == kKeptLow || a == kKeptHigh; }

constexpr const char* kLoaderCaption = "HexFile decoder";
constexpr const char* kSRecordCaption = "S format decoder";
constexpr const char* kIntelHexCaption = "IntelHex format decoder";

bool RegionTestsRefuse(const RegionView& r, uint32_t first, uint32_t last) {
  const std::size_t count = r.ends.size();
  if (count == 0) return true;
  if (first < r.starts[0]) return true;
  if (IsKeptAddress(last)) return false;
  if (last > r.ends[count - 1]) return true;
  // Neither in a gap nor across the border of two regions, touching or not.
  for (std::size_t i = 1; i < count; ++i)
    if (last > r.ends[i - 1] && first < r.starts[i]) return true;
  return false;
}

void ShowLoaderBox(Session& s, const std::string& text, const char* caption) {
  s.ui.ShowMessageBox({text, caption, BoxButtons::Ok, BoxIcon::None,
                       s.state.progressDialog ? BoxOwner::ProgressDialog : BoxOwner::None});
}

// Lays the session's patch over a freshly loaded image. Its place was
// checked against the regions before the run; one that still misses the
// image ends the command rather than program a board without it.
bool LayPatch(Session& s, LoadDetails& d) {
  SessionState& st = s.state;
  if (st.imagePatch) {
    const std::vector<uint8_t>& bytes = st.imagePatch->bytes;
    if (!st.image.WriteBytes(st.imagePatch->address, bytes.data(), bytes.size())) {
      d.text = "the patched bytes do not lie in the flash image";
      NoteSilentEnding(s, d.text);
      return false;
    }
  }
  st.imageLoaded = true;
  return true;
}

}  // namespace

RegionView RegionsOf(const SessionState& st) {
  std::size_t n = st.regionCount < 0 ? 0 : static_cast<std::size_t>(st.regionCount);
  if (n > kMaxRegions) n = kMaxRegions;
  return {std::span<const uint32_t>(st.regionStarts.data(), n),
          std::span<const uint32_t>(st.regionEnds.data(), n)};
}

PlaceResult ImagePlacer::Place(uint32_t address, const uint8_t* data, std::size_t count) {
  // An empty Intel HEX data record stores nothing, so there is nothing to
  // refuse: the range tests are not run (at address 0 they would wrap).
  if (count == 0) {
    if (observer_) observer_->Accepted(address, 0);
    return PlaceResult::Ok;
  }
  if (count - 1 > 0xFFFFFFFFu - address) return PlaceResult::AddressError;  // wraps
  const uint32_t last = static_cast<uint32_t>(address + (count - 1));
  if (RegionTestsRefuse(regions_, address, last)) return PlaceResult::AddressError;
  // The area of the first address must hold the whole record.
  uint8_t* dest = image_.Locate(address);
  if (!dest || image_.RoomAt(address) < count) return PlaceResult::AddressError;
  if (observer_) observer_->Accepted(address, count);

  auto store = [&](std::size_t from, std::size_t to) {
    if (from >= to) return;
    std::memcpy(dest + from, data + from, to - from);
    if (observer_) observer_->Stored(static_cast<uint32_t>(address + from), to - from);
  };
  if (address < FlashImage::kHighStart) {
    const uint64_t from = address - image_.Base();
    const uint64_t to = from + count;
    if (from <= kKeptHigh && to > kKeptLow) {
      // The two indices are adjacent, so the part of the record over them is
      // one run: store what lies before and after it.
      const auto skipFrom = static_cast<std::size_t>(std::max<uint64_t>(from, kKeptLow) - from);
      const auto skipTo = static_cast<std::size_t>(std::min<uint64_t>(to, kKeptHigh + 1) - from);
      store(0, skipFrom);
      if (observer_) observer_->Dropped(static_cast<uint32_t>(address + skipFrom), skipTo - skipFrom);
      store(skipTo, count);
      return PlaceResult::Ok;
    }
  }
  store(0, count);
  return PlaceResult::Ok;
}

bool CoversKeptBytes(const FlashImage& image, uint32_t address, std::size_t count) {
  if (address >= FlashImage::kHighStart || address < image.Base() || count == 0) return false;
  const uint64_t from = address - image.Base();
  return from <= kKeptHigh && from + count > kKeptLow;
}

PlaceResult PlaceDataRecord(Session& s, uint32_t address, const uint8_t* data, std::size_t count) {
  ImagePlacer placer(s.state.image, RegionsOf(s.state));
  return placer.Place(address, data, count);
}

bool LoadHexFile(Session& s, bool fullOperation, uint8_t fill) {
  return LoadHexFile(s, fullOperation, fill, nullptr, nullptr);
}

bool LoadHexFile(Session& s, bool fullOperation, uint8_t fill, StoreObserver* observer,
                 LoadDetails* details) {
  SessionState& st = s.state;
  LoadDetails local;
  LoadDetails& d = details ? *details : local;
  d = {};
  const bool batch = s.args.BatchMode();
  // Unattended runs (and flashcli, whose result file scripts read as well)
  // record every failure in the result file: a failed load must never leave
  // an older "OK" standing.
  auto record = [&](const std::string& text) {
    if (!batch && !st.unattendedResult) return;
    WriteResultFile(s, msg::kUnnumbered, text);
    st.silentEnding = text;
  };

  if (st.progressDialog) {
    if (st.showDialogs) st.progressDialog->SetLayout(kLayoutStatusOnly, false, std::nullopt);
    st.operationTitle = std::string(fullOperation ? kFullOperationPrefix : "") +
                        std::string(MessageText(msg::kTitleDecoding));
    if (st.showDialogs) st.progressDialog->ShowStatus(st.operationTitle);
  }
  st.image.Fill(fill);
  st.imageLoaded = false;

  // The loader's own failures.
  auto loaderFailure = [&](const char* text, bool boxOnlyWithDialog) {
    d.caption = kLoaderCaption;
    d.text = text;
    const bool dialogShown = st.progressDialog && st.showDialogs;
    record(d.text + " " + kLoaderCaption);
    if (batch) {
      d.shown = true;
      if (boxOnlyWithDialog && dialogShown) ShowLoaderBox(s, d.text, kLoaderCaption);
    } else if (!boxOnlyWithDialog || dialogShown) {
      ShowLoaderBox(s, d.text, kLoaderCaption);
      d.shown = true;
    }
    return false;
  };

  FileLineSource source;
  if (!source.Open(st.hexFilePath)) return loaderFailure("file open error", false);
  std::string_view first;
  switch (source.Next(first)) {
    case LineStatus::Line: break;
    case LineStatus::End: return loaderFailure("This file is NULL", true);
    case LineStatus::ReadError: return loaderFailure("file open error", false);
  }
  const char mark = first.empty() ? '\0' : first[0];
  if (mark != ':' && mark != 'S') return loaderFailure("auto-format detector error", true);

  ImagePlacer placer(st.image, RegionsOf(st), observer);
  const bool intel = mark == ':';
  d.format = intel ? HexFormat::IntelHex : HexFormat::SRecord;
  DecodeOutcome out = intel ? DecodeIntelHexFile(source, placer) : DecodeSRecordFile(source, placer);
  if (out.ok()) return LayPatch(s, d);

  d.caption = intel ? kIntelHexCaption : kSRecordCaption;
  d.text = DecodeErrorText(out);
  d.shown = true;
  record(d.caption + " " + d.text);
  // The Intel HEX decoder's box shows in unattended runs too.
  if (!batch || intel) ShowLoaderBox(s, d.text, d.caption.c_str());
  return false;
}

}  // namespace flash
