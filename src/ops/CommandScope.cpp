#include "ops/CommandScope.h"

#include <cstddef>
#include <cstdio>
#include <iterator>

#include "base/CommandButtons.h"
#include "base/FileUtil.h"
#include "base/FrontEnd.h"
#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "link/SerialLink.h"

namespace flash {
namespace {

// The opening steps of one command, taken in this order.
struct CommandFrame {
  bool takeControls = false;         // copy the controls into the state first
  bool needsHexFile = false;         // 401 when hexFilePath names no file
  bool startsFromBootRom = false;    // close the port and reset the buttons first
  const char* caption = nullptr;     // progress dialog caption; null: the command makes its own
  int dialogStyle = kLayoutDefault;  // the dialog's first layout
  bool dialogOnlyWhenShown = false;  // no dialog at all without showDialogs
  bool centreDialog = false;         // the default layout, centred, after the dialog opens
  bool opensWorkingPort = false;     // the port at linkBaud, purged
};

struct CommandRow {
  Command command;
  CommandFrame frame;
};

// Copy makes its dialog itself, after the save dialog.
constexpr CommandRow kFrames[] = {
    {Command::Download,
     {.startsFromBootRom = true, .caption = "Download", .dialogStyle = kLayoutBarOnly}},
    {Command::Erase, {.caption = "Erase", .opensWorkingPort = true}},
    {Command::BlankCheck, {.caption = "Blank Check", .opensWorkingPort = true}},
    {Command::ProgramVerify,
     {.takeControls = true, .needsHexFile = true, .caption = "Program", .opensWorkingPort = true}},
    {Command::ReadCompare,
     {.takeControls = true, .needsHexFile = true, .caption = "Read & Compare",
      .opensWorkingPort = true}},
    {Command::Copy, {.opensWorkingPort = true}},
    {Command::FullOperation,
     {.needsHexFile = true, .startsFromBootRom = true, .caption = "Full Operation",
      .dialogOnlyWhenShown = true, .centreDialog = true}},
};

constexpr bool RowsInCommandOrder() {
  for (std::size_t i = 0; i < std::size(kFrames); ++i)
    if (kFrames[i].command != static_cast<Command>(i)) return false;
  return true;
}
static_assert(std::size(kFrames) == static_cast<std::size_t>(Command::FullOperation) + 1 &&
                  RowsInCommandOrder(),
              "one row a command, in its order");

}  // namespace

CommandScope::CommandScope(Session& s) : s_(s) {
  s_.state.commandRunning = true;
  s_.state.silentEnding.clear();
  // A script reading the result file must never find the OK of an earlier run.
  if (s_.state.unattendedResult) WriteResultFile(s_, msg::kUnnumbered, "");
  writesAtStart_ = s_.state.resultFileWrites;
}

CommandScope::~CommandScope() {
  s_.state.progressDialog.reset();
  s_.link.ClosePort();
  if (int reason = StopReason(s_); reason != 0) {
    NoteSilentEnding(s_, StopText(reason));
  } else if (s_.state.unattendedResult && s_.state.resultFileWrites == writesAtStart_) {
    NoteSilentEnding(s_, "The command ended without a result");
  }
  s_.state.commandRunning = false;
}

bool CommandScope::Begin(Command command) {
  const CommandFrame& frame = kFrames[static_cast<std::size_t>(command)].frame;
  SessionState& st = s_.state;
  st.startTime = s_.clock.Now();
  if (frame.takeControls) s_.window->ControlsToState(st);
  if (frame.needsHexFile && !IsRegularFile(st.hexFilePath)) {
    ReportResult(s_, msg::kNoHexFile, KindWarning, SoundError);
    return false;
  }
  if (frame.startsFromBootRom) {
    s_.link.ClosePort();
    ResetCommandButtons(s_);
  }
  st.progressDialog.reset();
  if (frame.caption && (st.showDialogs || !frame.dialogOnlyWhenShown)) {
    if (!NewProgressDialog(s_, frame.dialogStyle, frame.caption)) return false;
    if (frame.centreDialog) st.progressDialog->SetLayout(kLayoutDefault, true, std::string(frame.caption));
  }
  return !frame.opensWorkingPort || OpenWorkingPort();
}

bool NewProgressDialog(Session& s, int style, const std::string& caption) {
  s.state.progressDialog.reset();
  auto dialog = std::make_unique<ProgressDialog>(style);
  if (!dialog->Open(s.ui)) return false;
  dialog->SetCaption(caption);
  s.state.progressDialog = std::move(dialog);
  return true;
}

bool CommandScope::OpenWorkingPort() {
  MessageId r = s_.link.OpenPort(s_.state.settings.comPortIndex + 1, s_.state.linkBaud);
  if (std::string notice = s_.link.TakeOpenNotice(); !notice.empty()) s_.ui.LogLine("flash: " + notice);
  if (r != 0) {
    s_.link.ClosePort();
    ReportResult(s_, r, KindError, SoundError);
    s_.state.progressDialog.reset();
    return false;
  }
  s_.link.PurgePort();
  return true;
}

std::string OperationTitle(int messageId, bool fullOperation) {
  std::string title(MessageText(messageId));
  return fullOperation ? std::string(kFullOperationPrefix) + title : title;
}

void ShowCancelled(Session& s) {
  const std::string text(MessageText(msg::kCanceled));
  NoteSilentEnding(s, text);
  if (ProgressDialog* d = s.state.progressDialog.get()) {
    d->ShowStatus(text);
    d->SetButtonText("OK");
    // The button is the dialog's only way out; an inactive one could never answer.
    if (d->CancelActive()) WaitForOk(s, *d);
  }
  s.link.PurgePort();
}

bool AskCrcRetry(Session& s, uint32_t address) {
  char text[64];
  std::snprintf(text, sizeof text, "CRC error detected in 0x%X\nretry?", address);
  BoxAnswer a = s.ui.ShowMessageBox({text, "crc checking", BoxButtons::YesNo, BoxIcon::Question,
                                     s.state.progressDialog ? BoxOwner::ProgressDialog
                                                            : BoxOwner::MainWindow});
  return a == BoxAnswer::Yes && !StopRequested(s);
}

}  // namespace flash
