#include "base/Report.h"

#include <string>

#include "base/CommandButtons.h"
#include "base/FrontEnd.h"
#include "base/ProgressDialog.h"
#include "base/Session.h"

namespace flash {
namespace {

constexpr const char* kErrorPrefix = "ERROR !!    ";
constexpr uint32_t kAckPollMs = 10;  // sleep between two looks at the "Ok" button

StandardIcon DialogIcon(ResultKind kind) {
  switch (kind) {
    case KindInformation: return StandardIcon::Information;
    case KindWarning: return StandardIcon::Warning;
    default: return StandardIcon::Error;
  }
}

BoxIcon MessageBoxIcon(ResultKind kind) {
  return kind == KindInformation ? BoxIcon::Information : BoxIcon::Exclamation;
}

}  // namespace

void WaitForOk(Session& s, ProgressDialog& dialog) {
  while (!StopRequested(s) && !dialog.CheckCancel()) s.clock.SleepMs(kAckPollMs);
}

std::string BuildReportText(Session& s, MessageId id, ResultKind kind) {
  SessionState& st = s.state;
  std::string text(MessageText(id));
  if (kind == KindWarning || kind == KindError || kind == KindTransferError) {
    if (s.args.BatchMode()) text = st.errorDetail + text + "\n";
    else text = kErrorPrefix + st.errorDetail + "\r\n" + text;
  }
  st.errorDetail.clear();
  if (!st.errorAddressText.empty()) {
    text += "\r\n ErrorAddress : " + st.errorAddressText;
    st.errorAddressText.clear();
  }
  if (!st.flashValueText.empty()) {
    text += "\r\n Flash      : " + st.flashValueText;
    st.flashValueText.clear();
  }
  if (!st.fileValueText.empty()) {
    text += "\r\n HexFile   : " + st.fileValueText;
    st.fileValueText.clear();
  }
  return text;
}

int ReportResult(Session& s, MessageId id, ResultKind kind, SoundKind sound) {
  std::string text = BuildReportText(s, id, kind);
  s.state.lastReportId = id;
  s.state.lastReportKind = kind;
  s.state.lastReportText = text;
  s.state.silentEnding.clear();
  s.state.reportTexts.push_back(text);
  s.outlets.WriteResult(s, id, text);

  const bool interactive = !s.args.BatchMode();
  ProgressDialog* dialog = s.state.progressDialog.get();
  if (interactive) {
    if (dialog) {
      dialog->SetLayout(kLayoutDefault, false, std::nullopt);
      dialog->SetIcon(DialogIcon(kind));
      dialog->ShowStatus(text);
      PlayResultSound(s, sound);
      WaitForOk(s, *dialog);
    } else {
      PlayResultSound(s, sound);
      s.ui.ShowMessageBox({text, std::string(kResultCaption), BoxButtons::Ok,
                           MessageBoxIcon(kind), BoxOwner::MainWindow});
    }
  }

  if (kind == KindError || kind == KindTransferError) {
    if (interactive) {
      std::string redo(MessageText(msg::kRedoDownload));
      if (dialog) {
        dialog->ShowStatus(redo);
        WaitForOk(s, *dialog);
      } else {
        s.ui.ShowMessageBox({redo, std::string(kResultCaption), BoxButtons::Ok,
                             BoxIcon::Exclamation, BoxOwner::MainWindow});
      }
    }
    s.state.controlProgramRunning = false;
    s.window->FocusTargetList();
    s.window->StateToControls(s.state);
    s.window->RepaintNow();
    s.outlets.ClosePort(s);
  }
  return 0;
}

void PlayResultSound(Session& s, SoundKind sound) {
  const UserSettings& u = s.state.settings;
  if (u.soundEnabled == 0) return;
  int enable = 0;
  int type = 0;
  const std::string* file = nullptr;
  if (sound == SoundError) {
    enable = u.errorEnable;
    type = u.errorType;
    file = &u.errorFile;
  } else if (sound == SoundEnd) {
    enable = u.endEnable;
    type = u.endType;
    file = &u.endFile;
  } else {
    return;
  }
  if (enable == 0) return;
  if (type != 0) {
    s.ui.Beep();
    return;
  }
  s.ui.StopSound();
  s.ui.PlayWaveFile(*file);
}

}  // namespace flash
