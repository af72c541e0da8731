// Download and Full Operation: the two commands that start from the boot ROM.
#include <cstdio>

#include "base/CommandButtons.h"
#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "image/HexLoader.h"
#include "link/BootDownload.h"
#include "link/Primitives.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"
#include "ops/CommandScope.h"
#include "ops/Engines.h"

namespace flash {
namespace {

void RunFullOperation(Session& s) {
  SessionState& st = s.state;
  if (!LoadHexFile(s, true, 0xFF)) return;
  if (RunDownload(s, true)) return;
  switch (ProbeBlank(s)) {
    case 0:
      if (ReadCrData(s) != CrReadResult::Ok) return;
      // A blank flash whose first CR word reads FF FF is erased all the same.
      if (st.statusGroup1[0] == 0xFF && st.statusGroup1[1] == 0xFF) {
        if (EraseFlash(s, true) != 0) return;
        if (BlankCheckFlash(s, true) != 0) return;
      }
      if (ReadCrData(s) != CrReadResult::Ok) return;
      break;
    case 1:
      if (EraseFlash(s, true) != 0) return;
      if (BlankCheckFlash(s, true) != 0) return;
      break;
    default:
      return;
  }
  ProgramFlash(s, true);
}

}  // namespace

void OnDownload(Session& s) {
  CommandScope scope(s);
  if (scope.Begin(Command::Download)) RunDownload(s, false);
}

void OnFullOperation(Session& s) {
  CommandScope scope(s);
  if (scope.Begin(Command::FullOperation)) RunFullOperation(s);
}

uint32_t ProbeBlank(Session& s) {
  const SessionState& st = s.state;
  for (int i = 0; i < st.regionCount; ++i) {
    if (!SendBlankCheckFrame(s, st.regionStarts[i], st.regionEnds[i])) return 2;
    PollOutcome poll = PollAnswer(s, kBlankAnswerSeconds);
    if (poll.readFailed) return 2;  // reported where it happened
    if (poll.timedOut) {
      ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
      return 2;
    }
    if (poll.answer == kAnswerDone) continue;
    if (poll.answer == kAnswerFailed) {
      uint8_t b = 0;
      for (int n = 0; n < kReportAddressBytes + kNotBlankValueBytes; ++n)
        if (!s.link.ReadBlock(&b, 1)) break;
      s.link.ReadBlock(&b, 1);
      return 1;
    }
    // No message for it, as for the window; a script still learns what ended the run.
    char text[64];
    std::snprintf(text, sizeof text, "Blank probe: unexpected answer %02XH", poll.answer);
    NoteSilentEnding(s, text);
    return 2;
  }
  return 0;
}

}  // namespace flash
