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
  // The progress dialog comes later, from the copy itself.
  if (!scope.Begin({.opensWorkingPort = true})) return;
  CopyFlash(s);
}

int CopyFlash(Session& s) {
  SessionState& st = s.state;
  const bool intel = st.copyAsIntelHex;
  FileDialogRequest request;
  request.defaultExtension = intel ? "hex" : "mhx";
  request.filter = intel ? "Intel Hex files (*.hex)|*.hex|all files (*.*)|*.*||"
                         : "S format files (*.mhx;*.cnv;*.ahx)|*.mhx;*.cnv;*.ahx|all files "
                           "(*.*)|*.*||";
  request.initialDirectory = DirectoryPart(st.hexFilePath);
  std::optional<std::string> target = s.ui.ChooseSaveFile(request);
  if (!target) return 0;

  const int blocks = BlockCount(s);
  if (!NewProgressDialog(s, -1, "Copy")) return 0;
  ProgressDialog& dialog = *st.progressDialog;
  st.operationTitle = std::string(MessageText(msg::kTitleCopying));
  dialog.SetLayout(14, true, std::string("Copy"));
  dialog.ShowStatus(st.operationTitle);
  dialog.SetBar(0, blocks, 1, 0);
  s.link.TakeLineErrors();
  st.startTime = s.clock.Now();

  OutputFile out(*target);
  if (!out.Ok()) {
    FileErrorBox(s, "ERROR : OPEN FILE ERROR", BoxOwner::MainWindow);
    NoteSilentEnding(s, "ERROR : OPEN FILE ERROR " + *target + ": " + out.ErrorText());
    st.progressDialog.reset();
    return 0;
  }
  auto writeFailed = [&] {
    out.Abandon();
    const char* text = out.Error() == OutputError::DiskFull ? "ERROR : DISK FULL ERROR"
                                                            : "ERROR : WRITE FILE ERROR";
    FileErrorBox(s, text, BoxOwner::ProgressDialog);
    NoteSilentEnding(s, std::string(text) + " " + *target + ": " + out.ErrorText());
    return 0;
  };

  if (!intel && !out.Write(CrLf(FormatSRecord(reinterpret_cast<const uint8_t*>("FW"), 0, 0, 2))))
    return writeFailed();

  int k = 0;
  uint8_t block[kBlockWithCrc];
  for (int i = 0; i < st.regionCount; ++i) {
    const uint32_t start = st.regionStarts[i];
    const uint64_t limit = static_cast<uint64_t>(st.regionEnds[i]) + 1;
    if (intel && !out.Write(CrLf(FormatIntelExtAddress(start)))) return writeFailed();
    bool dataWritten = false;
    for (uint64_t a64 = start; a64 < limit;) {
      const auto blockAddress = static_cast<uint32_t>(a64);
      switch (ReadBackBlock(s, blockAddress, k, block, kCopyMessages)) {
        case ReadBackResult::Failed:
          out.Abandon();
          return 0;
        case ReadBackResult::Cancelled:
          out.Abandon();
          dialog.SetPosition(k);
          ShowCancelled(s);
          return 0;
        case ReadBackResult::Ok:
          break;
      }
      const uint64_t blockEnd = std::min<uint64_t>(a64 + kBlockSize, limit);
      while (a64 < blockEnd) {
        // Records of 16 bytes from the block address on, the last one of a
        // region shorter.
        const uint64_t recordEnd = std::min<uint64_t>(a64 + kRecordBytes, blockEnd);
        while (a64 < recordEnd) {
          const auto a = static_cast<uint32_t>(a64);
          uint64_t length = recordEnd - a64;
          std::string line;
          if (intel) {
            // A record never crosses a 64 KiB boundary: it is split there, so
            // that the extended address line stands before the part above it.
            length = std::min<uint64_t>(length, kSegment - (a & (kSegment - 1)));
            if ((a & 0xFFFF) == 0 && dataWritten) line = FormatIntelExtAddress(a);
            line += FormatIntelData(block + (a64 - blockAddress), a & 0xFFFF, length);
          } else {
            line = FormatSRecord(block + (a64 - blockAddress), a, 3, length);
          }
          if (!out.Write(CrLf(line))) return writeFailed();
          dataWritten = true;
          a64 += length;
        }
      }
      ++k;
    }
  }
  dialog.SetPosition(k);
  WriteTimingTrace(s, TimingCopy);
  if (!out.Write(CrLf(intel ? kIntelEnd : FormatSRecord(nullptr, 0, 8, 0))) || !out.Commit())
    return writeFailed();
  ReportResult(s, msg::kCopyDone, KindInformation, SoundEnd);
  return 0;
}

}  // namespace flash
