#include "app/BoardRecord.h"

#include "app/BoardEnd.h"
#include "base/FileUtil.h"
#include "base/Profile.h"
#include "base/Session.h"
#include "base/Settings.h"
#include "base/Sha256.h"
#include "image/Checksum.h"

namespace flash {
namespace {


LogResult ResultOf(BoardEnd end) {
  switch (end) {
    case BoardEnd::Ok: return LogResult::Ok;
    case BoardEnd::Negative: return LogResult::Negative;
    case BoardEnd::Failed: break;
  }
  return LogResult::Fail;
}

}  // namespace

std::string ProductionLogPath(const Session& s, const std::optional<std::string>& given) {
  if (given) return *given;
  const std::string file = profile::TrimBlanks(s.state.settings.logFile);
  return PathIn(StationFile(s.state, ""), file);
}

LogRecord BoardRecord(const Session& s, const BoardFacts& facts) {
  const SessionState& st = s.state;
  LogRecord r;
  r.time = IsoTimeWithOffset(facts.start);
  r.host = HostName();
  const int com = st.settings.comPortIndex + 1;
  r.port = "COM" + std::to_string(com);
  r.devicePath = st.portDevice.empty() ? ComDevicePath(StationFile(st, ""), com) : st.portDevice;
  r.device = st.DeviceName();
  r.crystal = profile::TrimBlanks(st.CrystalText());
  r.command = facts.command;
  r.file = facts.file;
  r.fileSha256 = facts.fileSha256;
  if (facts.file && st.imageLoaded)
    r.checksum = static_cast<uint16_t>(SumRegions(st, 0xFF));
  r.serial = facts.serial;
  r.seconds = facts.seconds;
  r.bytes = st.payloadBytes;
  if (!facts.failure.empty()) {
    r.result = LogResult::Fail;
    r.message = facts.failure;
    return r;
  }
  r.result = ResultOf(EndOf(s));
  r.message = EndText(s);
  // The id goes with the text only when the text is that report's own.
  if (st.lastReportId != 0 && *r.message == st.lastReportText) r.messageId = st.lastReportId;
  return r;
}

bool LogIsWritable(const std::string& path, std::string& why) {
  // Appending nothing opens, checks and syncs the file as a record would.
  return AppendLogRecord(path, "", why);
}

bool AppendBoardRecord(const std::string& path, const Session& s, const BoardFacts& facts,
                       std::string& why) {
  return AppendLogRecord(path, FormatLogRecord(BoardRecord(s, facts)), why);
}

std::optional<std::string> FileDigest(const std::string& path) {
  std::string hex, error;
  if (!Sha256OfFile(path, hex, error)) return std::nullopt;
  return hex;
}

}  // namespace flash
