#include "ops/CommandFrame.h"

#include "app/FileUtil.h"
#include "app/Messages.h"
#include "app/ProgressDialog.h"
#include "app/Report.h"
#include "app/Session.h"
#include "link/SerialLink.h"

namespace flash {

bool NewProgressDialog(Session& s, int style, const std::string& caption) {
  DropProgressDialog(s);
  auto dialog = std::make_unique<ProgressDialog>(style);
  if (!dialog->Open(s.ui)) return false;
  dialog->SetCaption(caption);
  s.state.progressDialog = std::move(dialog);
  return true;
}

void DropProgressDialog(Session& s) { s.state.progressDialog.reset(); }

bool OpenWorkingPort(Session& s) {
  MessageId r = s.link.OpenPort(s.state.settings.comPortIndex + 1, s.state.linkBaud);
  if (r != 0) {
    s.link.ClosePort();
    ReportResult(s, r, KindError, SoundError);
    DropProgressDialog(s);
    return false;
  }
  s.link.PurgePort();
  return true;
}

void EndCommand(Session& s) {
  DropProgressDialog(s);
  s.link.ClosePort();
}

bool HexFileReady(Session& s) {
  if (IsRegularFile(s.state.hexFilePath)) return true;
  ReportResult(s, msg::kNoHexFile, KindWarning, SoundError);
  return false;
}

std::string OperationTitle(int messageId, bool fullOperation) {
  std::string title(MessageText(messageId));
  return fullOperation ? std::string(kFullOperationPrefix) + title : title;
}

void ShowCancelled(Session& s) {
  if (ProgressDialog* d = s.state.progressDialog.get()) {
    d->ShowStatus(std::string(MessageText(msg::kCanceled)));
    d->SetButtonText("OK");
    // The button is the dialog's only way out; an inactive one could never answer.
    if (d->CancelActive()) {
      // A short sleep between looks keeps the wait from spinning the processor.
      while (!d->CheckCancel()) s.clock.SleepMs(10);
    }
  }
  s.link.PurgePort();
}

}  // namespace flash

#include <cstdio>

namespace flash {

bool AskCrcRetry(Session& s, uint32_t address) {
  char text[64];
  std::snprintf(text, sizeof text, "CRC error detected in 0x%X\nretry?", address);
  BoxAnswer a = s.ui.ShowMessageBox({text, "crc checking", BoxButtons::YesNo, BoxIcon::Question,
                                     s.state.progressDialog ? BoxOwner::ProgressDialog
                                                            : BoxOwner::MainWindow});
  return a == BoxAnswer::Yes;
}

}  // namespace flash
