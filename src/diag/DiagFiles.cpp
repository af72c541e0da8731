#include "diag/DiagFiles.h"

#include <csignal>
#include <cstdio>

#include "base/FileUtil.h"
#include "base/FrontEnd.h"
#include "base/Profile.h"
#include "base/Session.h"
#include "base/Settings.h"

namespace flash {

const char* TimingKey(int operation) {
  switch (operation) {
    case TimingDownload: return "DOWNLOAD";
    case TimingErase: return "ERACE";
    case TimingBlank: return "BLANK";
    case TimingProgram: return "PROGRAM";
    case TimingRead: return "READ";
    case TimingCopy: return "COPY";
    case TimingAuto: return "AUTO";
    default: return "";
  }
}

std::string ResultFileContent(MessageId id, const std::string& text) {
  if (id == msg::kFullOperationDone) return "OK";
  std::string body = "NG\n" + text;
  // Text-mode file: every line feed is stored as CR LF.
  std::string out;
  out.reserve(body.size() + 8);
  for (char c : body) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

bool StoreResultFile(const std::string& path, const std::string& content, std::string* why) {
  // Replaced whole, so a reader never sees half a result; a writable file in
  // a directory that takes no new names is still rewritten in place. Never
  // through a link or onto a special file: a link planted there would make
  // every run overwrite the file it points to.
  if (auto problem = NotPlainFile(path)) {
    *why = *problem;
    return false;
  }
  return ReplaceFileAtomically(path, content, why) || RewriteFileInPlace(path, content, why);
}

bool WriteResultFile(Session& s, MessageId id, const std::string& text) {
  const std::string path = StationFile(s.state, kResultFile);
  ++s.state.resultFileWrites;
  std::string why;
  const bool ok = StoreResultFile(path, ResultFileContent(id, text), &why);
  if (!ok) {
    s.state.resultFileFailed = true;
    s.ui.LogLine("flash: the result file " + path + " could not be written: " + why);
  }
  return ok;
}

void NoteSilentEnding(Session& s, const std::string& text) {
  s.state.silentEnding = text;
  if (s.state.unattendedResult) WriteResultFile(s, msg::kUnnumbered, text);
}

std::string StopText(int reason) {
  switch (reason) {
    case kStopWindowClosed: return "Stopped: the window was closed";
#ifdef SIGHUP
    case SIGHUP: return "Interrupted by SIGHUP (the terminal went away)";
#endif
    case SIGINT: return "Interrupted by SIGINT";
    case SIGTERM: return "Interrupted by SIGTERM";
    default: return "Interrupted by signal " + std::to_string(reason);
  }
}

std::string ElapsedText(const WallTime& start, const WallTime& end) {
  int64_t seconds = end.seconds - start.seconds;
  int ms = end.milliseconds - start.milliseconds;
  if (end.milliseconds < start.milliseconds) {
    seconds -= 1;
    ms += 1000;
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%lld.%03d", static_cast<long long>(seconds), ms);
  return buf;
}

void WriteTimingTrace(Session& s, int operation) {
  s.state.endTime = s.clock.Now();
  const std::string path = StationFile(s.state, kTimingFile);
  const char* key = TimingKey(operation);
  if (!*key) return;
  // The trace is on while a regular file of that name exists; a link there
  // is refused rather than followed.
  if (auto problem = NotPlainFile(path)) {
    s.ui.LogLine("flash: " + path + " is not written: " + *problem);
    return;
  }
  if (!IsRegularFile(path)) return;
  LocalDate d = s.clock.Today();
  char date[32];
  std::snprintf(date, sizeof date, "%04d%02d%02d", d.year, d.month, d.day);
  std::string section = std::string(date) + " - " + s.state.DeviceName();
  s.profiles.WriteString(path, section, key, ElapsedText(s.state.startTime, s.state.endTime));
}

int NextCrtRandom(uint32_t& state) {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFF);
}

uint8_t CrcTestHit(Session& s) {
  if (!IsRegularFile(StationFile(s.state, kCrcTestFile))) return 0;
  return (NextCrtRandom(s.state.crcTestRandom) & 0x7F) == 0 ? 1 : 0;
}

}  // namespace flash
