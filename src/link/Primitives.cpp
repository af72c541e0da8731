#include "link/Primitives.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "link/SerialLink.h"
#include "link/Transport.h"

namespace flash {
namespace {

ProgressDialog* Dialog(Session& s) {
  return s.state.showDialogs ? s.state.progressDialog.get() : nullptr;
}

int64_t WallSeconds(Session& s) { return s.clock.Now().seconds; }

// The second a wait that started in second start counts its limit from: the
// one in which the bytes written before it left the port, when later. Waits
// ask only when their limit has passed (an answer that came sooner came in
// time from any later start), so a wait that is answered costs no call.
int64_t LimitStart(Session& s, int64_t start) {
  uint32_t left = 0;
  if (!s.link.Drain(&left)) return start;
  const WallTime now = s.clock.Now();
  const int64_t ago = static_cast<uint32_t>(s.clock.TickMs() - left);
  const int64_t leftMs = now.seconds * 1000 + now.milliseconds - ago;
  return std::max(start, leftMs / 1000);
}

}  // namespace

PollOutcome PollAnswer(Session& s, int limitSeconds, bool testCancel,
                       const std::function<void(int)>& onSecond) {
  PollOutcome out;
  int64_t start = WallSeconds(s);
  int64_t elapsed = 0;
  bool drained = false;
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
    int64_t now = WallSeconds(s) - start;
    if (now > limitSeconds && !drained) {
      drained = true;
      start = LimitStart(s, start);
      now = WallSeconds(s) - start;
    }
    if (now > elapsed && onSecond) onSecond(static_cast<int>(now));
    elapsed = now;
  }
  out.timedOut = elapsed > limitSeconds;
  return out;
}

CommandResult BlockCommand(Session& s, uint32_t address, bool read) {
  if (!WriteByte(s, read ? kCmdReadBlock : kCmdProgramBlock) || !WriteUint32(s, address))
    return {CommandOutcome::Failed};
  PollOutcome r = PollAnswer(s, kBlockAnswerSeconds, true);
  if (r.cancelled) return {CommandOutcome::Cancelled};
  if (r.readFailed) return {CommandOutcome::Failed};
  if (r.timedOut) return {CommandOutcome::TimedOut};
  // Answers 03H and FFH end the command as a time-out and a failed call do:
  // the commands have always read them so.
  if (r.answer == 0x03) return {CommandOutcome::TimedOut};
  if (r.answer == 0xFF) return {CommandOutcome::Failed};
  return {r.answer == kAnswerDone ? CommandOutcome::Done : CommandOutcome::Refused, r.answer};
}

CommandResult EraseCommand(Session& s) {
  if (ProgressDialog* d = Dialog(s)) {
    d->SetLayout(kLayoutBarOnly, false, std::nullopt);
    d->SetBar(0, kEraseAnswerSeconds, 1, 0);
  }
  if (!WriteByte(s, kCmdErase) || !WriteUint32(s, s.state.regionEnds[0]))
    return {CommandOutcome::Failed};
  PollOutcome r = PollAnswer(s, kEraseAnswerSeconds, false, [&s](int elapsed) {
    if (elapsed >= kEraseAnswerSeconds) return;
    if (ProgressDialog* d = Dialog(s)) d->StepBar();
  });
  if (r.readFailed) return {CommandOutcome::Failed};
  if (r.timedOut) return {CommandOutcome::TimedOut};
  if (r.answer == kAnswerDone) {
    if (ProgressDialog* d = Dialog(s)) d->SetPosition(kEraseAnswerSeconds);
    return {CommandOutcome::Done, r.answer};
  }
  char detail[40];
  std::snprintf(detail, sizeof detail, "ERASE ERROR MCU : %02XH", r.answer);
  s.state.errorDetail = detail;
  // 03H passes for a time-out as it always has (see BlockCommand).
  if (r.answer == kAnswerTimedOut || r.answer == 0x03) return {CommandOutcome::TimedOut};
  return {CommandOutcome::Refused, r.answer};
}

CrReadResult ReadCrData(Session& s) {
  if (!WriteByte(s, kCmdCrRead) || !WriteBytes(s, kCrReadKey.data(), kCrReadKey.size()))
    return CrReadResult::NoDataMark;
  int64_t start = WallSeconds(s);
  bool drained = false;
  auto timedOut = [&] {
    if (WallSeconds(s) - start <= kCrAnswerSeconds) return false;
    if (!drained) {
      drained = true;
      start = LimitStart(s, start);
    }
    return WallSeconds(s) - start > kCrAnswerSeconds;
  };

  for (;;) {
    uint8_t b = 0;
    if (!TryReadByte(s, b)) return CrReadResult::NoDataMark;
    if (b == kAnswerBusy) break;
    if (timedOut()) {
      ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
      return CrReadResult::NoDataMark;
    }
  }

  std::array<uint8_t, kCrDataBytes> data{};
  std::size_t got = 0;
  // A short read would leave old CR words that the erase then stores back
  // into the target; it fails like the read call itself.
  if (!s.link.ReadBlock(data.data(), data.size(), &got) || got != data.size()) {
    ReportResult(s, msg::kPortReadError, KindError, SoundError);
    return CrReadResult::DataFailed;
  }
  std::copy(data.begin(), data.begin() + kCrWordBytes, s.state.statusGroup1.begin());
  std::copy(data.begin() + kCrWordBytes, data.end(), s.state.statusGroup2.begin());

  for (;;) {
    uint8_t b = 0;
    if (!TryReadByte(s, b)) return CrReadResult::NoClosing;
    if (b != 0 && b != kAnswerBusy) return CrReadResult::Ok;  // the closing byte's value is not examined
    if (timedOut()) {
      ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
      return CrReadResult::NoClosing;
    }
  }
}

CommandResult SetCrData(Session& s) {
  const SessionState& st = s.state;
  const auto& source =
      (st.statusGroup2 == kErasedCrWord && st.statusGroup1 != kErasedCrWord) ? st.statusGroup1
                                                                              : st.statusGroup2;
  if (!WriteByte(s, kCmdCrSet) || !WriteBytes(s, source.data(), source.size()))
    return {CommandOutcome::Failed};
  PollOutcome r = PollAnswer(s, kCrAnswerSeconds);
  if (r.readFailed) return {CommandOutcome::Failed};
  if (r.timedOut) {
    ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
    return {CommandOutcome::Failed};
  }
  if (r.answer == kAnswerDone) return {CommandOutcome::Done, r.answer};
  ReportResult(s, msg::kReadError, KindTransferError, SoundError);
  return {CommandOutcome::Refused, r.answer};
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
