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
#include "diag/DiagFiles.h"
#include "link/SerialLink.h"
#include "link/Transport.h"

namespace flash {
namespace {

// Waits of the boot exchange, fixed by the boot ROM's behaviour.
constexpr uint32_t kAfterResetMs = 1500;     // the board leaves reset and its boot ROM listens
constexpr uint32_t kBeforeRateChangeMs = 250;  // the control program switches its own rate first
constexpr uint32_t kAfterRateChangeMs = 250;   // both ends settle at the working rate
constexpr int kSyncAnswerSeconds = 1;        // first sync, right after the reset
constexpr int kBootAnswerSeconds = 3;        // every later boot answer and the rate check

constexpr int kDownloadSteps = 7;

ProgressDialog* Dialog(Session& s) {
  return s.state.showDialogs ? s.state.progressDialog.get() : nullptr;
}

void Advance(Session& s) {
  if (ProgressDialog* d = Dialog(s)) d->StepBar();
}

bool IsAbsolute(const std::string& path) {
  if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
  return path.size() > 1 && path[1] == ':';  // a drive letter
}

bool AskForReset(Session& s) {
  if (!s.args.ResetPrompt()) return true;
  const bool overDialog = s.state.progressDialog && s.state.progressDialog->IsOpen();
  BoxAnswer a = s.ui.ShowMessageBox({"Please reset the microcontroller on userboard.\nThen push OK button.",
                                     std::string(kAppCaption), BoxButtons::OkCancel,
                                     BoxIcon::Information,
                                     overDialog ? BoxOwner::ProgressDialog : BoxOwner::MainWindow});
  return a == BoxAnswer::Ok;
}

}  // namespace

std::string ControlProgramPath(const Session& s, const std::string& downloadFile) {
  std::string base = IsAbsolute(downloadFile) ? downloadFile : s.state.programDir + downloadFile;
  std::string variant = base + "-" + s.state.CrystalText();
  return IsRegularFile(variant) ? variant : base;
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
  std::array<uint8_t, 10> frame{};
  frame[0] = command;
  for (int i = 0; i < 4; ++i) {
    frame[1 + i] = static_cast<uint8_t>(address >> (8 * i));
    frame[5 + i] = static_cast<uint8_t>(length >> (8 * i));
  }
  uint8_t sum = 0;
  for (std::size_t i = 0; i < 9; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  frame[9] = sum;
  for (uint8_t b : frame)
    if (!WriteByte(s, b)) return true;
  return WaitAnswer(s, kBootAnswerSeconds, command);
}

uint8_t SendBlock(Session& s, uint32_t address, const uint8_t* data, uint32_t length) {
  if (SendFrame(s, kBootData, address, length)) return 0xFF;
  uint8_t sum = 0;
  for (uint32_t i = 0; i < length; ++i) {
    if (!WriteByte(s, data[i])) return 1;
    sum = static_cast<uint8_t>(sum + data[i]);
  }
  if (!WriteByte(s, sum)) return 1;
  return WaitAnswer(s, kBootAnswerSeconds, kBootData) ? 1 : 0;
}

bool DownloadControlProgram(Session& s) {
  if (ProgressDialog* d = Dialog(s)) {
    d->SetLayout(kLayoutBar, false, std::nullopt);
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

  if (!AskForReset(s)) {
    // Silent for the user, who chose it; the result file of an unattended run names it.
    NoteSilentEnding(s, std::string(MessageText(msg::kCanceled)));
    return false;
  }
  s.state.resetAnswered = s.clock.Now();
  s.clock.SleepMs(kAfterResetMs);
  s.link.PurgePort();

  if (!WriteByte(s, kBootSync) || WaitAnswer(s, kSyncAnswerSeconds, kBootSync)) return false;
  Advance(s);  // 3

  const uint8_t block = SendBlock(s, s.state.loadAddress, image.data(), static_cast<uint32_t>(image.size()));
  image = {};
  if (block != 0) return false;

  if (!WriteByte(s, kBootSync) || WaitAnswer(s, kBootAnswerSeconds, kBootSync)) return false;
  Advance(s);  // 4

  // The start frame: command 40H, address 0, length 0, its sum 40H.
  constexpr std::array<uint8_t, 10> kStartFrame = {kBootStart, 0, 0, 0, 0, 0, 0, 0, 0, kBootStart};
  for (uint8_t b : kStartFrame)
    if (!WriteByte(s, b)) return false;
  if (WaitAnswer(s, kBootAnswerSeconds, kStartCheck)) return false;
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
  if (!WriteByte(s, kRateCheck) || WaitAnswer(s, kBootAnswerSeconds, kStartCheck)) return false;
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
