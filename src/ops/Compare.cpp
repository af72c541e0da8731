// Read & Compare: the flash read back block by block and compared word by
// word with the image of the hex file.
#include <cstdio>

#include "base/FrontEnd.h"
#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "image/HexLoader.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"
#include "ops/CommandScope.h"
#include "ops/Engines.h"
#include "ops/ReadBack.h"

namespace flash {
namespace {

constexpr ReadBackMessages kCompareMessages{msg::kPortReadError, KindError};

uint32_t WordAt(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

std::string Hex32(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

}  // namespace

void OnReadCompare(Session& s) {
  CommandScope scope(s);
  if (scope.Begin(Command::ReadCompare) && LoadHexFile(s, false, 0xFF)) CompareFlash(s);
}

void CompareFlash(Session& s) {
  SessionState& st = s.state;
  s.link.TakeLineErrors();
  const int blocks = BlockCount(s);
  if (ProgressDialog* d = st.progressDialog.get()) {
    d->SetLayout(kLayoutBarCancel, false, std::nullopt);
    d->ShowStatus(std::string(MessageText(msg::kTitleReadingComparing)));
    d->SetBar(0, blocks, 1, 0);
  }
  int k = 0;
  uint8_t block[kBlockWithCrc];
  uint8_t expected[kBlockSize];
  for (int i = 0; i < st.regionCount; ++i) {
    const uint64_t limit = static_cast<uint64_t>(st.regionEnds[i]) + 1;
    for (uint64_t a64 = st.regionStarts[i]; a64 < limit; a64 += kBlockSize) {
      const auto a = static_cast<uint32_t>(a64);
      switch (ReadBackBlock(s, a, k, block, kCompareMessages)) {
        case ReadBackResult::Failed:
          return;
        case ReadBackResult::Cancelled:
          if (ProgressDialog* d = st.progressDialog.get()) d->SetPosition(k);
          ShowCancelled(s);
          return;
        case ReadBackResult::Ok:
          break;
      }
      st.image.ReadBlock(a, expected, kBlockSize);
      for (uint32_t p = 0; p < kBlockSize && a64 + p < limit; p += 4) {
        uint32_t received = WordAt(block + p);
        uint32_t wanted = WordAt(expected + p);
        if (received != wanted) {
          st.errorAddressText = Hex32(a + p);
          st.flashValueText = Hex32(received);
          st.fileValueText = Hex32(wanted);
          ReportResult(s, msg::kDifference, KindInformation, SoundError);
          return;
        }
      }
      ++k;
    }
  }
  if (ProgressDialog* d = st.progressDialog.get()) d->SetPosition(k);
  WriteTimingTrace(s, TimingRead);
  ReportResult(s, msg::kIdentical, KindInformation, SoundEnd);
}

}  // namespace flash
