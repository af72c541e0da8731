#include "link/Primitives.h"

#include <array>
#include <cstdio>

#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "link/SerialLink.h"
#include "link/Transport.h"

namespace flash {
namespace {

constexpr std::array<uint8_t, 4> kCrReadKey = {0x11, 0x22, 0x33, 0x44};  // fixed CR read parameters
constexpr std::size_t kCrDataBytes = 8;

ProgressDialog* Dialog(Session& s) {
  return s.state.showDialogs ? s.state.progressDialog.get() : nullptr;
}

int64_t WallSeconds(Session& s) { return s.clock.Now().seconds; }

bool WriteBytes(Session& s, const uint8_t* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (!WriteByte(s, data[i])) return false;
  return true;
}

}  // namespace

PollOutcome PollAnswer(Session& s, int limitSeconds, bool testCancel,
                       const std::function<void(int)>& onSecond) {
  PollOutcome out;
  const int64_t start = WallSeconds(s);
  int64_t elapsed = 0;
  // Whole seconds on both ends: a limit of n lasts until the clock has moved n + 1 seconds.
  while ((out.answer == 0 || out.answer == kAnswerBusy) && elapsed <= limitSeconds) {
    if (!TryReadByte(s, out.answer)) {
      out.readFailed = true;
      return out;
    }
    if (testCancel) {
      if (ProgressDialog* d = Dialog(s); d && d->CheckCancel()) {
        out.cancelled = true;
        return out;
      }
    }
    const int64_t now = WallSeconds(s) - start;
    if (now != elapsed && onSecond) onSecond(static_cast<int>(now));
    elapsed = now;
  }
  out.timedOut = elapsed > limitSeconds;
  return out;
}

uint8_t BlockCommand(Session& s, uint32_t address, bool read) {
  if (!WriteByte(s, read ? kCmdReadBlock : kCmdProgramBlock) || !WriteUint32(s, address)) return 0xFF;
  PollOutcome r = PollAnswer(s, kBlockAnswerSeconds, true);
  if (r.cancelled) return 0;
  if (r.readFailed) return 0xFF;
  if (r.timedOut) return 3;
  return r.answer;
}

uint8_t EraseCommand(Session& s) {
  if (ProgressDialog* d = Dialog(s)) {
    d->SetLayout(kLayoutBar, false, std::nullopt);
    d->SetBar(0, kEraseAnswerSeconds, 1, 0);
  }
  if (!WriteByte(s, kCmdErase) || !WriteUint32(s, s.state.regionEnds[0])) return 0;
  PollOutcome r = PollAnswer(s, kEraseAnswerSeconds, false, [&s](int elapsed) {
    if (elapsed >= kEraseAnswerSeconds) return;
    if (ProgressDialog* d = Dialog(s)) d->StepBar();
  });
  if (r.readFailed) return 0;
  if (r.timedOut) return 3;
  if (r.answer == kAnswerDone) {
    if (ProgressDialog* d = Dialog(s)) d->SetPosition(kEraseAnswerSeconds);
  } else {
    char detail[40];
    std::snprintf(detail, sizeof detail, "ERASE ERROR MCU : %02XH", r.answer);
    s.state.errorDetail = detail;
  }
  return r.answer;
}

uint8_t ReadCrData(Session& s) {
  if (!WriteByte(s, kCmdCrRead) || !WriteBytes(s, kCrReadKey.data(), kCrReadKey.size())) return 1;
  const int64_t start = WallSeconds(s);
  auto timedOut = [&] { return WallSeconds(s) - start > kCrAnswerSeconds; };

  for (;;) {
    uint8_t b = 0;
    if (!TryReadByte(s, b)) return 1;
    if (b == kAnswerBusy) break;
    if (timedOut()) {
      ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
      return 1;
    }
  }

  std::array<uint8_t, kCrDataBytes> data{};
  std::size_t got = 0;
  // A short read would leave old CR words that the erase then stores back
  // into the target; it fails like the read call itself.
  if (!s.link.ReadBlock(data.data(), data.size(), &got) || got != data.size()) {
    ReportResult(s, msg::kPortReadError, KindError, SoundError);
    return 2;
  }
  std::copy(data.begin(), data.begin() + 4, s.state.statusGroup1.begin());
  std::copy(data.begin() + 4, data.end(), s.state.statusGroup2.begin());

  for (;;) {
    uint8_t b = 0;
    if (!TryReadByte(s, b)) return 3;
    if (b != 0 && b != kAnswerBusy) return 0;  // the closing byte's value is not examined
    if (timedOut()) {
      ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
      return 3;
    }
  }
}

uint8_t SetCrData(Session& s) {
  constexpr std::array<uint8_t, 4> kErased = {0xFF, 0xFF, 0xFF, 0xFF};
  const SessionState& st = s.state;
  const auto& source =
      (st.statusGroup2 == kErased && st.statusGroup1 != kErased) ? st.statusGroup1 : st.statusGroup2;
  if (!WriteByte(s, kCmdCrSet) || !WriteBytes(s, source.data(), source.size())) return 1;
  PollOutcome r = PollAnswer(s, kCrAnswerSeconds);
  if (r.readFailed) return 1;
  if (r.timedOut) {
    ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
    return 1;
  }
  if (r.answer == kAnswerDone) return 0;
  ReportResult(s, msg::kReadError, KindTransferError, SoundError);
  return r.answer;
}

bool SendBlankCheckFrame(Session& s, uint32_t start, uint32_t end) {
  return WriteByte(s, kCmdBlankCheck) && WriteUint32(s, start) && WriteUint32(s, end + 1);
}

uint16_t BlockCrc(const uint8_t* data, std::size_t count) {
  uint16_t crc = 0;
  for (std::size_t i = 0; i < count; ++i) {
    crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

}  // namespace flash
