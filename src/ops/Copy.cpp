// Copy: the whole flash read back and written to a new S-record or Intel HEX
// file. The file appears only when it is complete.
#include <algorithm>
#include <cstdio>

#include "base/FileUtil.h"
#include "base/FrontEnd.h"
#include "base/Messages.h"
#include "base/OutputFile.h"
#include "base/ProgressDialog.h"
#include "base/Report.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"
#include "ops/CommandScope.h"
#include "ops/Engines.h"
#include "ops/ReadBack.h"

namespace flash {
namespace {

constexpr ReadBackMessages kCopyMessages{msg::kReadError, KindTransferError};
constexpr uint32_t kRecordBytes = 16;
constexpr uint32_t kSegment = 0x10000;  // what one extended linear address line covers
constexpr const char* kIntelEnd = ":00000001FF\n";

const char kHex[] = "0123456789ABCDEF";

void PutByte(std::string& out, unsigned b) {
  out += kHex[(b >> 4) & 0xF];
  out += kHex[b & 0xF];
}

// Text-mode lines: CR LF on every platform, as the result file.
std::string CrLf(const std::string& line) {
  std::string out;
  out.reserve(line.size() + 2);
  for (char c : line) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void FileErrorBox(Session& s, const char* text, BoxOwner owner) {
  s.ui.ShowMessageBox({text, std::string(kResultCaption), BoxButtons::Ok, BoxIcon::Exclamation,
                       owner});
}

}  // namespace

std::string FormatSRecord(const uint8_t* data, uint32_t address, int type, std::size_t length) {
  int addressBytes = type == 3 ? 4 : (type == 2 || type == 8) ? 3 : 2;
  if (type == 0) address = 0;
  unsigned count = static_cast<unsigned>(length) + static_cast<unsigned>(addressBytes) + 1;
  std::string line = "S";
  line += static_cast<char>('0' + type);
  PutByte(line, count);
  unsigned sum = count;
  for (int i = addressBytes - 1; i >= 0; --i) {
    unsigned b = (address >> (8 * i)) & 0xFF;
    PutByte(line, b);
    sum += b;
  }
  for (std::size_t i = 0; i < length; ++i) {
    PutByte(line, data[i]);
    sum += data[i];
  }
  PutByte(line, ~sum & 0xFF);
  line += '\n';
  return line;
}

std::string FormatIntelData(const uint8_t* data, uint32_t address, std::size_t length) {
  std::string line = ":";
  unsigned sum = static_cast<unsigned>(length) + ((address >> 8) & 0xFF) + (address & 0xFF);
  PutByte(line, static_cast<unsigned>(length));
  PutByte(line, (address >> 8) & 0xFF);
  PutByte(line, address & 0xFF);
  PutByte(line, 0);
  for (std::size_t i = 0; i < length; ++i) {
    PutByte(line, data[i]);
    sum += data[i];
  }
  PutByte(line, (0x100 - (sum & 0xFF)) & 0xFF);
  line += '\n';
  return line;
}

std::string FormatIntelExtAddress(uint32_t address) {
  unsigned hi = (address >> 24) & 0xFF;
  unsigned lo = (address >> 16) & 0xFF;
  std::string line = ":02000004";
  PutByte(line, hi);
  PutByte(line, lo);
  PutByte(line, (0x100 - ((2 + 4 + hi + lo) & 0xFF)) & 0xFF);
  line += '\n';
  return line;
}

void OnCopy(Session& s) {
  CommandScope scope(s);
  if (scope.Begin(Command::Copy)) CopyFlash(s);
}

namespace {

// The file a copy writes: its header, a region's opening line, a block's
// records and the end, or the failure box when a write fails.
class CopyFile {
 public:
  CopyFile(Session& s, const std::string& target, bool intel)
      : s_(s), target_(target), intel_(intel), out_(target) {}

  // False when the file could not be made: said in a box over the main
  // window, the progress dialog dropped.
  bool Opened() {
    if (out_.Ok()) return true;
    FileErrorBox(s_, "ERROR : OPEN FILE ERROR", BoxOwner::MainWindow);
    NoteSilentEnding(s_, "ERROR : OPEN FILE ERROR " + target_ + ": " + out_.ErrorText());
    s_.state.progressDialog.reset();
    return false;
  }
  bool WriteHeader() {
    return intel_ || out_.Write(CrLf(FormatSRecord(reinterpret_cast<const uint8_t*>("FW"), 0, 0, 2)));
  }
  // A region's first record needs no address line of its own: this one stands before it.
  bool WriteRegionStart(uint32_t start) {
    dataWritten_ = false;
    return !intel_ || out_.Write(CrLf(FormatIntelExtAddress(start)));
  }
  // The records of the block read at from, up to (not including) to.
  bool WriteBlock(const uint8_t* block, uint64_t from, uint64_t to);
  bool Finish() {
    return out_.Write(CrLf(intel_ ? kIntelEnd : FormatSRecord(nullptr, 0, 8, 0))) && out_.Commit();
  }
  void Abandon() { out_.Abandon(); }
  // A write failed: the file is dropped and the failure said over the progress dialog.
  void WriteFailed() {
    out_.Abandon();
    const char* text = out_.Error() == OutputError::DiskFull ? "ERROR : DISK FULL ERROR"
                                                             : "ERROR : WRITE FILE ERROR";
    FileErrorBox(s_, text, BoxOwner::ProgressDialog);
    NoteSilentEnding(s_, std::string(text) + " " + target_ + ": " + out_.ErrorText());
  }

 private:
  Session& s_;
  const std::string target_;
  const bool intel_;
  OutputFile out_;
  bool dataWritten_ = false;  // a record of the current region has been written
};

bool CopyFile::WriteBlock(const uint8_t* block, uint64_t from, uint64_t to) {
  for (uint64_t a64 = from; a64 < to;) {
    // Records of 16 bytes from the block address on, the last one of a
    // region shorter.
    const uint64_t recordEnd = std::min<uint64_t>(a64 + kRecordBytes, to);
    while (a64 < recordEnd) {
      const auto a = static_cast<uint32_t>(a64);
      uint64_t length = recordEnd - a64;
      std::string line;
      if (intel_) {
        // A record never crosses a 64 KiB boundary: it is split there, so
        // that the extended address line stands before the part above it.
        length = std::min<uint64_t>(length, kSegment - (a & (kSegment - 1)));
        if ((a & 0xFFFF) == 0 && dataWritten_) line = FormatIntelExtAddress(a);
        line += FormatIntelData(block + (a64 - from), a & 0xFFFF, length);
      } else {
        line = FormatSRecord(block + (a64 - from), a, 3, length);
      }
      if (!out_.Write(CrLf(line))) return false;
      dataWritten_ = true;
      a64 += length;
    }
  }
  return true;
}

// The save dialog, in the folder of the hex file.
std::optional<std::string> ChooseCopyFile(Session& s, bool intel) {
  FileDialogRequest request;
  request.defaultExtension = intel ? "hex" : "mhx";
  request.filter = intel ? "Intel Hex files (*.hex)|*.hex|all files (*.*)|*.*||"
                         : "S format files (*.mhx;*.cnv;*.ahx)|*.mhx;*.cnv;*.ahx|all files "
                           "(*.*)|*.*||";
  request.initialDirectory = DirectoryPart(s.state.hexFilePath);
  return s.ui.ChooseSaveFile(request);
}

// The copy's own progress dialog, made after the save dialog; null when it
// cannot be made. The copy's time runs from here.
ProgressDialog* OpenCopyDialog(Session& s) {
  SessionState& st = s.state;
  const int blocks = BlockCount(s);
  if (!NewProgressDialog(s, kLayoutDefault, "Copy")) return nullptr;
  ProgressDialog& dialog = *st.progressDialog;
  st.operationTitle = std::string(MessageText(msg::kTitleCopying));
  dialog.SetLayout(kLayoutBarCancel, true, std::string("Copy"));
  dialog.ShowStatus(st.operationTitle);
  dialog.SetBar(0, blocks, 1, 0);
  s.link.TakeLineErrors();
  st.startTime = s.clock.Now();
  return &dialog;
}

// Region i read block by block (k counts the blocks) and written to the
// file. False when the copy ends here, dealt with already.
bool CopyRegion(Session& s, ProgressDialog& dialog, CopyFile& file, int i, int& k, uint8_t* block) {
  const SessionState& st = s.state;
  const uint32_t start = st.regionStarts[i];
  const uint64_t limit = static_cast<uint64_t>(st.regionEnds[i]) + 1;
  if (!file.WriteRegionStart(start)) {
    file.WriteFailed();
    return false;
  }
  for (uint64_t a64 = start; a64 < limit; a64 += kBlockSize) {
    switch (ReadBackBlock(s, static_cast<uint32_t>(a64), k, block, kCopyMessages)) {
      case ReadBackResult::Failed:
        file.Abandon();
        return false;
      case ReadBackResult::Cancelled:
        file.Abandon();
        dialog.SetPosition(k);
        ShowCancelled(s);
        return false;
      case ReadBackResult::Ok:
        break;
    }
    if (!file.WriteBlock(block, a64, std::min<uint64_t>(a64 + kBlockSize, limit))) {
      file.WriteFailed();
      return false;
    }
    ++k;
  }
  return true;
}

}  // namespace

int CopyFlash(Session& s) {
  const bool intel = s.state.copyAsIntelHex;
  std::optional<std::string> target = ChooseCopyFile(s, intel);
  if (!target) return 0;
  ProgressDialog* dialog = OpenCopyDialog(s);
  if (!dialog) return 0;

  CopyFile file(s, *target, intel);
  if (!file.Opened()) return 0;
  if (!file.WriteHeader()) {
    file.WriteFailed();
    return 0;
  }
  int k = 0;
  uint8_t block[kBlockWithCrc];
  for (int i = 0; i < s.state.regionCount; ++i)
    if (!CopyRegion(s, *dialog, file, i, k, block)) return 0;
  dialog->SetPosition(k);
  WriteTimingTrace(s, TimingCopy);
  if (!file.Finish()) {
    file.WriteFailed();
    return 0;
  }
  ReportResult(s, msg::kCopyDone, KindInformation, SoundEnd);
  return 0;
}

}  // namespace flash
