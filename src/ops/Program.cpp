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

constexpr int kDataAnswerSeconds = 5;  // a block is programmed and verified within 5 s
constexpr uint8_t kAnswerVerifyError = 0x34;  // '4', followed by nine report bytes

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
  if (!scope.Begin({.takeControls = true, .needsHexFile = true, .caption = "Program",
                    .opensWorkingPort = true}))
    return;
  if (LoadHexFile(s, false, 0xFF)) ProgramFlash(s, false);
}

uint8_t ProgramFlash(Session& s, bool fullOperation) {
  SessionState& st = s.state;
  ProgressDialog* dialog = st.showDialogs ? st.progressDialog.get() : nullptr;
  const int blocks = BlockCount(s);
  if (dialog) dialog->SetLayout(14, false, std::nullopt);
  st.operationTitle = OperationTitle(msg::kTitleProgramming, fullOperation);
  if (dialog) {
    dialog->ShowStatus(st.operationTitle);
    dialog->SetBar(0, blocks, 1, 0);
  }

  int k = 0;
  bool cancelled = false;
  uint8_t block[kBlockWithCrc];
  for (int i = 0; i < st.regionCount && !cancelled; ++i) {
    const uint64_t limit = static_cast<uint64_t>(st.regionEnds[i]) + 1;
    for (uint64_t a64 = st.regionStarts[i]; a64 < limit && !cancelled; a64 += kBlockSize) {
      const auto a = static_cast<uint32_t>(a64);
      bool retry = true;
      while (retry) {
        retry = false;
        if (dialog) {
          dialog->SetPosition(k);
          if (dialog->CheckCancel()) {
            cancelled = true;
            break;
          }
        }
        st.image.ReadBlock(a, block, kBlockSize);
        if (std::all_of(block, block + kBlockSize, [](uint8_t b) { return b == 0xFF; })) break;

        uint8_t r = BlockCommand(s, a, false);
        if (r == 0x03) {
          ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
          return 1;
        }
        if (r == 0x00) {
          cancelled = true;
          break;
        }
        if (r == 0xFF) return 1;  // not written or not read: reported where it happened
        if (r != kAnswerDone) {
          ReportResult(s, msg::kProgramError, KindTransferError, SoundError);
          return 1;
        }
        uint16_t crc = BlockCrc(block, kBlockSize);
        block[kBlockSize] = static_cast<uint8_t>(crc >> 8);
        block[kBlockSize + 1] = static_cast<uint8_t>(crc & 0xFF);
        if (StopRequested(s)) return 1;
        if (!s.link.WriteBlock(block, kBlockWithCrc)) {
          ReportResult(s, msg::kWriteError, KindError, SoundError);
          return 1;
        }

        PollOutcome poll = PollAnswer(s, kDataAnswerSeconds, dialog != nullptr);
        if (poll.cancelled) {
          cancelled = true;
          break;
        }
        if (poll.readFailed) return 1;  // reported where it happened
        if (poll.timedOut) {
          ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
          return 1;
        }
        if (poll.answer == kAnswerDone) {
          st.payloadBytes += kBlockSize;
          break;
        }
        if (poll.answer == kAnswerCrcError) {
          if (dialog && AskCrcRetry(s, a)) retry = true;
          else cancelled = true;
          continue;
        }
        if (poll.answer == kAnswerVerifyError) {
          st.errorAddressText = "0x";
          AppendReadBytes(s, st.errorAddressText, 4);
          AppendReadBytes(s, st.fileValueText, 2);
          AppendReadBytes(s, st.flashValueText, 2);
          uint8_t closing = 0;
          s.link.ReadBlock(&closing, 1);
        }
        if (st.fileValueText == "FFFF" && st.flashValueText == "FFFF") {
          st.fileValueText.clear();
          st.flashValueText.clear();
          st.errorDetail = "Timing Limit Over";
        }
        ReportResult(s, msg::kProgramError, KindTransferError, SoundError);
        return 1;
      }
      if (cancelled) break;
      if (dialog) dialog->SetPosition(k);
      ++k;
    }
  }
  if (dialog) dialog->SetPosition(k);

  if (cancelled) {
    ShowCancelled(s);
    return 1;
  }
  WriteTimingTrace(s, fullOperation ? TimingAuto : TimingProgram);
  ReportResult(s, fullOperation ? msg::kFullOperationDone : msg::kProgrammed, KindInformation,
               SoundEnd);
  return 0;
}

}  // namespace flash
