#include "link/Transport.h"

#include <cstdio>

#include "base/Report.h"
#include "base/Session.h"
#include "link/Protocol.h"
#include "link/SerialLink.h"

namespace flash {

bool WriteByte(Session& s, uint8_t value) {
  // A stop request ends the command as a failed write would, with no report:
  // the command scope names the stop.
  if (StopRequested(s)) return false;
  if (s.link.WriteBlock(&value, 1)) return true;
  ReportResult(s, msg::kWriteError, KindTransferError, SoundError);
  return false;
}

bool WriteBytes(Session& s, const uint8_t* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (!WriteByte(s, data[i])) return false;
  return true;
}

bool WriteUint32(Session& s, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    if (!WriteByte(s, static_cast<uint8_t>(value >> (8 * i)))) return false;
  return true;
}

bool TryReadByte(Session& s, uint8_t& value) {
  value = 0;
  if (StopRequested(s)) return false;  // as WriteByte: no report, the scope names the stop
  // The count is not looked at: a byte that did not come leaves the 0.
  if (s.link.ReadBlock(&value, 1)) return true;
  value = 0;
  ReportResult(s, msg::kPortReadError, KindError, SoundError);
  return false;
}

uint8_t ReadByte(Session& s) {
  uint8_t value = 0;
  TryReadByte(s, value);
  return value;
}

bool WaitForAnswer(Session& s, int timeoutSeconds, uint8_t expected) {
  uint32_t start = s.clock.TickMs();
  const uint32_t limit = static_cast<uint32_t>(timeoutSeconds) * 1000u;
  // After a wrap of the counter the elapsed time restarts from zero, so a
  // wrap can lengthen the wait but never cut it short.
  auto elapsed = [&] {
    const uint32_t now = s.clock.TickMs();
    return now >= start ? now - start : now;
  };
  bool drained = false;
  for (;;) {
    uint8_t answer = 0;
    if (!TryReadByte(s, answer)) return true;
    // The limit counts from when the bytes before the wait left the port.
    // Only a wait about to end needs that moment: an answer that came sooner
    // came within the limit counted from any later start.
    if (elapsed() > limit && !drained) {
      drained = true;
      if (uint32_t left = 0; s.link.Drain(&left) && static_cast<int32_t>(left - start) > 0)
        start = left;
    }
    if (elapsed() > limit) {
      ReportResult(s, msg::kTimeout, KindWarning, SoundError);
      return true;
    }
    if (answer == 0) continue;
    if (answer == expected) return false;
    char detail[16];
    std::snprintf(detail, sizeof detail, "MCU : %02XH", answer);
    s.state.errorDetail = detail;
    ReportResult(s, msg::kDownloadError, KindWarning, SoundError);
    return true;
  }
}

bool WaitAnswer(Session& s, int timeoutSeconds, uint8_t command) {
  return WaitForAnswer(s, timeoutSeconds, BootAnswer(command));
}

}  // namespace flash
