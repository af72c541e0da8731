#include "link/BootDownload.h"

#include <array>
#include <new>

#include "base/Catalogue.h"
#include "base/CommandButtons.h"
#include "base/FileUtil.h"
#include "base/FrontEnd.h"
#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "base/Settings.h"
#include "diag/DiagFiles.h"
#include "link/Protocol.h"
#include "link/ResetSequence.h"
#include "link/SerialLink.h"
#include "link/Transport.h"

namespace flash {

MessageBoxRequest ResetPrompt(BoxOwner owner) {
  return {"Please reset the microcontroller on userboard.\nThen push OK button.",
          std::string(kAppCaption), BoxButtons::OkCancel, BoxIcon::Information, owner};
}

namespace {

constexpr int kDownloadSteps = 7;  // the bar's range: one step per stage of the download

ProgressDialog* Dialog(Session& s) {
  return s.state.showDialogs ? s.state.progressDialog.get() : nullptr;
}

void Advance(Session& s) {
  if (ProgressDialog* d = Dialog(s)) d->StepBar();
}

bool AskForReset(Session& s) {
  if (!s.args.ResetPrompt()) return true;
  const bool overDialog = s.state.progressDialog && s.state.progressDialog->IsOpen();
  return s.ui.ShowMessageBox(ResetPrompt(overDialog ? BoxOwner::ProgressDialog
                                                    : BoxOwner::MainWindow)) == BoxAnswer::Ok;
}

// The board into its boot ROM: by the configured sequence on DTR and RTS
// when there is one, else by the user at the reset prompt. False ends the
// download unreported but named (a Cancel, a sequence that cannot run).
bool ResetBoard(Session& s) {
  const std::string sequence = ConfiguredResetSequence(s);
  if (sequence.empty()) {
    if (AskForReset(s)) return true;
    NoteSilentEnding(s, std::string(MessageText(msg::kCanceled)));
    return false;
  }
  std::vector<ResetStep> steps;
  std::string error;
  if (ParseResetSequence(sequence, steps, error) && RunResetSequence(s, steps, error)) return true;
  const bool overDialog = s.state.progressDialog && s.state.progressDialog->IsOpen();
  s.ui.ShowMessageBox({error, std::string(kAppCaption), BoxButtons::Ok, BoxIcon::Stop,
                       overDialog ? BoxOwner::ProgressDialog : BoxOwner::MainWindow});
  NoteSilentEnding(s, error);
  return false;
}

std::array<uint8_t, kBootFrameSize> BootFrame(uint8_t command, uint32_t address, uint32_t length) {
  std::array<uint8_t, kBootFrameSize> frame{};
  frame[0] = command;
  for (int i = 0; i < 4; ++i) {
    frame[1 + i] = static_cast<uint8_t>(address >> (8 * i));
    frame[5 + i] = static_cast<uint8_t>(length >> (8 * i));
  }
  uint8_t sum = 0;
  for (std::size_t i = 0; i + 1 < kBootFrameSize; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  frame[kBootFrameSize - 1] = sum;
  return frame;
}

}  // namespace

std::string ControlProgramPath(const Session& s, const std::string& downloadFile) {
  return DataFilePath(s.state, downloadFile, "-" + s.state.CrystalText());
}

int LoadControlProgram(const std::string& path, int crystalIndex, std::vector<uint8_t>* image) {
  // Only a regular file: a FIFO or a device under the name would block or
  // never end.
  InputFile in;
  if (!in.Open(path)) return msg::kOpenDownloadFile;
  const uint64_t size = in.Identity().size;
  // Byte 7 must exist to carry the crystal index; the length goes into a
  // 32-bit frame field.
  if (size < kCrystalIndexOffset + 1 || size > UINT32_MAX) return msg::kFileAccess;
  try {
    image->assign(static_cast<std::size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    return msg::kNoMemory;
  }
  std::size_t done = 0;
  while (done < image->size()) {
    long long n = in.Read(image->data() + done, image->size() - done);
    if (n <= 0) break;  // an error, or the file shrank under us
    done += static_cast<std::size_t>(n);
  }
  if (done != image->size()) {
    image->clear();
    return msg::kFileAccess;
  }
  (*image)[kCrystalIndexOffset] = static_cast<uint8_t>(crystalIndex);
  return 0;
}

bool OpenBootPort(Session& s) {
  const int rate = SelectedDevice(s).BootBaud(static_cast<std::size_t>(s.state.crystalIndex));
  const int port = s.state.settings.comPortIndex + 1;
  const MessageId r = s.link.OpenPort(port, rate);
  if (std::string notice = s.link.TakeOpenNotice(); !notice.empty()) s.ui.LogLine("flash: " + notice);
  if (r != 0) {
    if (r == msg::kOpenPort && !s.link.LastOpenError().empty())
      s.ui.LogLine("COM" + std::to_string(port) + ": " + s.link.LastOpenError());
    s.link.ClosePort();
    ReportResult(s, r, KindError, SoundError);
    return false;
  }
  return true;
}

bool SendFrame(Session& s, uint8_t command, uint32_t address, uint32_t length) {
  const auto frame = BootFrame(command, address, length);
  if (!WriteBytes(s, frame.data(), frame.size())) return true;
  return WaitAnswer(s, kBootAnswerSeconds, command);
}

bool SendBlock(Session& s, uint32_t address, const uint8_t* data, uint32_t length) {
  if (SendFrame(s, kBootData, address, length)) return true;
  uint8_t sum = 0;
  for (uint32_t i = 0; i < length; ++i) {
    if (!WriteByte(s, data[i])) return true;
    sum = static_cast<uint8_t>(sum + data[i]);
  }
  if (!WriteByte(s, sum)) return true;
  return WaitAnswer(s, kBootAnswerSeconds, kBootData);
}

bool DownloadControlProgram(Session& s) {
  if (ProgressDialog* d = Dialog(s)) {
    d->SetLayout(kLayoutBarOnly, false, std::nullopt);
    d->SetBar(0, kDownloadSteps, 1, 0);
  }
  const DeviceDefinition def = SelectedDevice(s);
  const auto crystal = static_cast<std::size_t>(s.state.crystalIndex);
  s.state.controlProgramPath = ControlProgramPath(s, def.downloadFile);

  std::vector<uint8_t> image;
  if (int r = LoadControlProgram(s.state.controlProgramPath, s.state.crystalIndex, &image); r != 0) {
    ReportResult(s, r, KindError, SoundError);
    return false;
  }
  Advance(s);  // 1

  if (!s.link.IsOpen() && !OpenBootPort(s)) return false;
  Advance(s);  // 2

  // A Cancel is silent for the user, who chose it; the result file of an
  // unattended run names it.
  if (!ResetBoard(s)) return false;
  s.state.resetAnswered = s.clock.Now();
  s.clock.SleepMs(kAfterResetMs);
  s.link.PurgePort();

  if (!WriteByte(s, kBootSync) || WaitAnswer(s, kSyncAnswerSeconds, kBootSync)) return false;
  Advance(s);  // 3

  const bool blockFailed =
      SendBlock(s, s.state.loadAddress, image.data(), static_cast<uint32_t>(image.size()));
  image = {};
  if (blockFailed) return false;

  if (!WriteByte(s, kBootSync) || WaitAnswer(s, kBootAnswerSeconds, kBootSync)) return false;
  Advance(s);  // 4

  // The control program it starts answers the start frame itself.
  const auto start = BootFrame(kBootStart, 0, 0);
  if (!WriteBytes(s, start.data(), start.size()) || WaitForAnswer(s, kBootAnswerSeconds, kAnswerDone))
    return false;
  Advance(s);  // 5

  const int working = def.WorkingBaud(crystal);
  s.clock.SleepMs(kBeforeRateChangeMs);
  if (MessageId r = s.link.SetBaudRate(working); r != 0) {
    s.link.ClosePort();
    ReportResult(s, r, KindError, SoundError);
    return false;
  }
  s.state.linkBaud = working;
  Advance(s);  // 6

  s.clock.SleepMs(kAfterRateChangeMs);
  if (!WriteByte(s, kCmdRateCheck) || WaitForAnswer(s, kBootAnswerSeconds, kAnswerDone)) return false;
  Advance(s);  // 7
  return true;
}

bool RunDownload(Session& s, bool fullOperation) {
  s.state.operationTitle = std::string(fullOperation ? kFullOperationPrefix : "") +
                           std::string(MessageText(msg::kTitleDownloading));
  if (ProgressDialog* d = Dialog(s)) d->ShowStatus(s.state.operationTitle);

  const bool ok = DownloadControlProgram(s);
  if (ok) {
    if (!fullOperation) {
      WriteTimingTrace(s, TimingDownload);
      ReportResult(s, msg::kDownloaded, KindInformation, SoundEnd);
    }
    EnableFlashCommands(s);
    s.window->StateToControls(s.state);
    s.window->RepaintNow();
  } else {
    s.window->FocusTargetList();
    s.window->StateToControls(s.state);
    s.window->RepaintNow();
    s.link.ClosePort();
  }
  if (ProgressDialog* d = Dialog(s)) d->SetPosition(0);
  return !ok;
}

}  // namespace flash
