// Erase and Blank Check: the two commands that work on the whole flash.
#include <cstdio>

#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "link/BootDownload.h"
#include "link/Primitives.h"
#include "link/ResetSequence.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"
#include "ops/CommandScope.h"
#include "ops/Engines.h"

namespace flash {
namespace {

constexpr int kBlankBarRange = 3;  // the bar runs to 3 whatever the number of regions
// What CR SET ERROR shows when the CR set got no answer at all.
constexpr unsigned kCrSetNoAnswer = 1;

std::string McuText(const char* what, unsigned value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s MCU : %02XH", what, value & 0xFF);
  return buf;
}

std::string WordText(const uint8_t* b) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%02X%02X%02X%02X", b[0], b[1], b[2], b[3]);
  return buf;
}

bool ShowDialogs(Session& s) { return s.state.showDialogs && s.state.progressDialog; }

}  // namespace

void OnErase(Session& s) {
  CommandScope scope(s);
  if (scope.Begin(Command::Erase)) EraseFlash(s, false);
}

void OnBlankCheck(Session& s) {
  CommandScope scope(s);
  if (scope.Begin(Command::BlankCheck)) BlankCheckFlash(s, false);
}

uint8_t EraseFlash(Session& s, bool fullOperation) {
  SessionState& st = s.state;
  st.operationTitle = OperationTitle(msg::kTitleErasing, fullOperation);
  if (ShowDialogs(s)) {
    st.progressDialog->SetLayout(kLayoutBarOnly, false, std::nullopt);
    st.progressDialog->ShowStatus(st.operationTitle);
  }
  // A board that resets itself by its modem lines can be reloaded without a hand.
  const bool noReset = !s.args.ResetPrompt() && ConfiguredResetSequence(s).empty();

  if (CrReadResult r = ReadCrData(s); r != CrReadResult::Ok) {
    st.errorDetail = McuText("CR READ ERROR", static_cast<unsigned>(r));
    ReportResult(s, msg::kCommunication, KindError, SoundError);
    return 1;
  }

  const CommandResult erase = EraseCommand(s);
  switch (erase.outcome) {
    case CommandOutcome::Done:
      break;
    case CommandOutcome::TimedOut:
      ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
      return 1;
    case CommandOutcome::Refused:  // EraseCommand has left the detail
      ReportResult(s, erase.answer == kAnswerFailed ? msg::kEraseError : msg::kCommunication,
                   KindError, SoundError);
      return 1;
    case CommandOutcome::Cancelled:
    case CommandOutcome::Failed:
      return 1;  // a write or read failed, or a stop: already dealt with
  }

  // An erased first CR word means the control program went with the flash:
  // load it again before the CR word can be written back.
  const bool crErased = st.statusGroup1 == kErasedCrWord;
  if (crErased && !noReset) {
    s.link.ClosePort();
    if (!DownloadControlProgram(s)) {
      s.window->FocusTargetList();
      s.window->StateToControls(st);
      s.window->RepaintNow();
      s.link.ClosePort();
      return 1;
    }
  }

  if (CommandResult r = SetCrData(s); r.outcome != CommandOutcome::Done) {
    st.errorDetail =
        McuText("CR SET ERROR", r.outcome == CommandOutcome::Refused ? r.answer : kCrSetNoAnswer);
    ReportResult(s, msg::kCommunication, KindError, SoundError);
    return 1;
  }
  if (!fullOperation) {
    WriteTimingTrace(s, TimingErase);
    ReportResult(s, msg::kErased, KindInformation, SoundEnd);
  }
  return 0;
}

uint8_t BlankCheckFlash(Session& s, bool fullOperation) {
  SessionState& st = s.state;
  st.operationTitle = OperationTitle(msg::kTitleBlankChecking, fullOperation);
  if (ShowDialogs(s)) {
    st.progressDialog->ShowStatus(st.operationTitle);
    st.progressDialog->SetLayout(kLayoutBarOnly, false, std::nullopt);
    st.progressDialog->SetBar(0, kBlankBarRange, 1, 0);
  }
  for (int i = 0; i < st.regionCount; ++i) {
    if (!SendBlankCheckFrame(s, st.regionStarts[i], st.regionEnds[i])) return 1;
    PollOutcome poll = PollAnswer(s, kBlankAnswerSeconds);
    if (poll.readFailed) return 1;  // reported where it happened
    if (poll.timedOut) {
      ReportResult(s, msg::kTimeout, KindTransferError, SoundError);
      return 4;
    }
    if (poll.answer == kAnswerDone) {
      if (ShowDialogs(s)) st.progressDialog->SetPosition(kBlankBarRange);
      continue;
    }
    if (poll.answer == kAnswerFailed) {
      uint8_t address[kReportAddressBytes] = {};
      uint8_t value[kNotBlankValueBytes] = {};
      uint8_t closing[1] = {};
      s.link.ReadBlock(address, kReportAddressBytes);
      s.link.ReadBlock(value, kNotBlankValueBytes);
      s.link.ReadBlock(closing, 1);
      st.errorAddressText = WordText(address);
      st.flashValueText = WordText(value);
      ReportResult(s, msg::kNotBlank, fullOperation ? KindWarning : KindInformation, SoundError);
      return 1;
    }
    ReportResult(s, msg::kCommunication, KindError, SoundError);
    return 1;
  }
  if (!fullOperation) {
    WriteTimingTrace(s, TimingBlank);
    ReportResult(s, msg::kBlank, KindInformation, SoundEnd);
  }
  return 0;
}

}  // namespace flash
