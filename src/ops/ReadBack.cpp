#include "ops/ReadBack.h"

#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "link/SerialLink.h"
#include "ops/CommandScope.h"

namespace flash {

ReadBackResult ReadBackBlock(Session& s, uint32_t a, int k, uint8_t* block,
                             const ReadBackMessages& messages) {
  for (;;) {
    if (ProgressDialog* d = s.state.progressDialog.get()) {
      d->SetPosition(k);
      if (d->CheckCancel()) return ReadBackResult::Cancelled;
    }
    switch (BlockCommand(s, a, true).outcome) {
      case CommandOutcome::Done:
        break;
      case CommandOutcome::Failed:  // not written or not read: reported where it happened (216 or 218)
        return ReadBackResult::Failed;
      case CommandOutcome::TimedOut:
        ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
        return ReadBackResult::Failed;
      case CommandOutcome::Cancelled:
        return ReadBackResult::Cancelled;
      case CommandOutcome::Refused:
        ReportResult(s, msg::kReadError, KindTransferError, SoundError);
        return ReadBackResult::Failed;
    }
    for (std::size_t i = 0; i < kBlockWithCrc; ++i) block[i] = 0;
    if (StopRequested(s)) return ReadBackResult::Failed;  // the scope names the stop
    // A short read would leave zeros in the block, whose CRC is 0 as well:
    // missing flash bytes would pass as read. It fails like the read call.
    std::size_t got = 0;
    if (!s.link.ReadBlock(block, kBlockWithCrc, &got) || got != kBlockWithCrc) {
      ReportResult(s, messages.readCallFailed, messages.readCallFailedKind, SoundError);
      return ReadBackResult::Failed;
    }
    if (s.link.TakeLineErrors() != 0) {
      // Damaged on the wire: ask for the same block again, without a word.
      s.link.PurgeReceive();
      continue;
    }
    PollOutcome poll = PollAnswer(s, kBlockAnswerSeconds, true);
    if (poll.cancelled) return ReadBackResult::Cancelled;
    if (poll.readFailed) return ReadBackResult::Failed;
    if (poll.timedOut) {
      ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
      return ReadBackResult::Failed;
    }
    if (poll.answer != kAnswerDone) {
      ReportResult(s, msg::kReadError, KindTransferError, SoundError);
      return ReadBackResult::Failed;
    }
    block[kBlockSize] = static_cast<uint8_t>(block[kBlockSize] + CrcTestHit(s));
    if (BlockCrc(block, kBlockWithCrc) == 0) {
      s.state.payloadBytes += kBlockSize;
      return ReadBackResult::Ok;
    }
    if (!AskCrcRetry(s, a)) return ReadBackResult::Cancelled;
  }
}

}  // namespace flash
