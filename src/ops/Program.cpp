// Program & Verify: the image goes out in 512-byte blocks with their CRC;
// the control program programs and verifies each one.
#include <algorithm>
#include <cstdio>

#include "base/FrontEnd.h"
#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "image/HexLoader.h"
#include "link/Primitives.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"
#include "ops/CommandScope.h"
#include "ops/Engines.h"

namespace flash {
namespace {

// How the programming of one block ended.
enum class BlockEnd { Written, Retry, Cancelled, Failed };

// Appends count bytes, one read each, as "%02X"; a failing read ends the group.
void AppendReadBytes(Session& s, std::string& text, int count) {
  for (int i = 0; i < count; ++i) {
    uint8_t b = 0;
    if (!s.link.ReadBlock(&b, 1)) return;
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", b);
    text += hex;
  }
}

// The progress dialog of the command (null without dialogs), set up for
// blocks steps.
ProgressDialog* OpenProgramDialog(Session& s, bool fullOperation, int blocks) {
  SessionState& st = s.state;
  ProgressDialog* dialog = st.showDialogs ? st.progressDialog.get() : nullptr;
  if (dialog) dialog->SetLayout(kLayoutBarCancel, false, std::nullopt);
  st.operationTitle = OperationTitle(msg::kTitleProgramming, fullOperation);
  if (dialog) {
    dialog->ShowStatus(st.operationTitle);
    dialog->SetBar(0, blocks, 1, 0);
  }
  return dialog;
}

// Any answer but '1' and '5' after the data fails the command; a '4' brings
// the address and the two values that differ.
void ReportProgramError(Session& s, uint8_t answer) {
  SessionState& st = s.state;
  if (answer == kAnswerFailed) {
    st.errorAddressText = "0x";
    AppendReadBytes(s, st.errorAddressText, kReportAddressBytes);
    AppendReadBytes(s, st.fileValueText, kVerifyValueBytes);
    AppendReadBytes(s, st.flashValueText, kVerifyValueBytes);
    uint8_t closing = 0;
    s.link.ReadBlock(&closing, 1);
  }
  if (st.fileValueText == "FFFF" && st.flashValueText == "FFFF") {
    st.fileValueText.clear();
    st.flashValueText.clear();
    st.errorDetail = "Timing Limit Over";
  }
  ReportResult(s, msg::kProgramError, KindTransferError, SoundError);
}

// The control program's word on the block just sent: programmed and
// verified, or to be sent again after a CRC error if the user wants.
BlockEnd DataAnswer(Session& s, ProgressDialog* dialog, uint32_t a) {
  PollOutcome poll = PollAnswer(s, kBlockAnswerSeconds, dialog != nullptr);
  if (poll.cancelled) return BlockEnd::Cancelled;
  if (poll.readFailed) return BlockEnd::Failed;  // reported where it happened
  if (poll.timedOut) {
    ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
    return BlockEnd::Failed;
  }
  if (poll.answer == kAnswerDone) {
    s.state.payloadBytes += kBlockSize;
    return BlockEnd::Written;
  }
  if (poll.answer == kAnswerCrcError)
    return dialog && AskCrcRetry(s, a) ? BlockEnd::Retry : BlockEnd::Cancelled;
  ReportProgramError(s, poll.answer);
  return BlockEnd::Failed;
}

// The program command, then the block with its CRC, then the answer.
BlockEnd SendProgramBlock(Session& s, ProgressDialog* dialog, uint32_t a, uint8_t* block) {
  switch (BlockCommand(s, a, false).outcome) {
    case CommandOutcome::Done:
      break;
    case CommandOutcome::TimedOut:
      ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
      return BlockEnd::Failed;
    case CommandOutcome::Cancelled:
      return BlockEnd::Cancelled;
    case CommandOutcome::Failed:  // not written or not read: reported where it happened
      return BlockEnd::Failed;
    case CommandOutcome::Refused:
      ReportResult(s, msg::kProgramError, KindTransferError, SoundError);
      return BlockEnd::Failed;
  }
  uint16_t crc = BlockCrc(block, kBlockSize);
  block[kBlockSize] = static_cast<uint8_t>(crc >> 8);
  block[kBlockSize + 1] = static_cast<uint8_t>(crc & 0xFF);
  if (StopRequested(s)) return BlockEnd::Failed;
  if (!s.link.WriteBlock(block, kBlockWithCrc)) {
    ReportResult(s, msg::kWriteError, KindError, SoundError);
    return BlockEnd::Failed;
  }
  return DataAnswer(s, dialog, a);
}

// Block k at address a, sent again for as long as a CRC error is retried.
// A block of the image that is all FFH is passed over as written.
BlockEnd ProgramBlock(Session& s, ProgressDialog* dialog, uint32_t a, int k, uint8_t* block) {
  for (;;) {
    if (dialog) {
      dialog->SetPosition(k);
      if (dialog->CheckCancel()) return BlockEnd::Cancelled;
    }
    s.state.image.ReadBlock(a, block, kBlockSize);
    if (std::all_of(block, block + kBlockSize, [](uint8_t b) { return b == 0xFF; }))
      return BlockEnd::Written;
    if (BlockEnd end = SendProgramBlock(s, dialog, a, block); end != BlockEnd::Retry) return end;
  }
}

}  // namespace

int BlockCount(const Session& s) {
  int n = 0;
  for (int i = 0; i < s.state.regionCount; ++i) {
    // In 64 bits: a region 0 to FFFFFFFF holds 2^32 bytes, which 32 bits wrap to 0.
    const uint64_t start = s.state.regionStarts[i], end = s.state.regionEnds[i];
    if (end < start) continue;
    const uint64_t length = end - start + 1;
    n += static_cast<int>((length + kBlockSize - 1) / kBlockSize);
  }
  return n;
}

void OnProgramVerify(Session& s) {
  CommandScope scope(s);
  if (scope.Begin(Command::ProgramVerify) && LoadHexFile(s, false, 0xFF)) ProgramFlash(s, false);
}

uint8_t ProgramFlash(Session& s, bool fullOperation) {
  const SessionState& st = s.state;
  ProgressDialog* dialog = OpenProgramDialog(s, fullOperation, BlockCount(s));
  int k = 0;
  uint8_t block[kBlockWithCrc];
  for (int i = 0; i < st.regionCount; ++i) {
    const uint64_t limit = static_cast<uint64_t>(st.regionEnds[i]) + 1;
    for (uint64_t a64 = st.regionStarts[i]; a64 < limit; a64 += kBlockSize) {
      switch (ProgramBlock(s, dialog, static_cast<uint32_t>(a64), k, block)) {
        case BlockEnd::Written:
        case BlockEnd::Retry:
          break;
        case BlockEnd::Failed:
          return 1;
        case BlockEnd::Cancelled:
          if (dialog) dialog->SetPosition(k);
          ShowCancelled(s);
          return 1;
      }
      if (dialog) dialog->SetPosition(k);
      ++k;
    }
  }
  if (dialog) dialog->SetPosition(k);
  WriteTimingTrace(s, fullOperation ? TimingAuto : TimingProgram);
  ReportResult(s, fullOperation ? msg::kFullOperationDone : msg::kProgrammed, KindInformation,
               SoundEnd);
  return 0;
}

}  // namespace flash
