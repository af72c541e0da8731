#include "app/FlashProgram.h"

#include <optional>

#include "app/BoardRecord.h"

#include "base/FrontEnd.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"

namespace flash {

int BatchExitStatus(const Session& s) {
  if (int reason = StopReason(s); reason > 0 && reason != kStopWindowClosed)
    return SignalExitStatus(reason);
  const SessionState& st = s.state;
  const bool ok = st.lastReportId == msg::kFullOperationDone && st.silentEnding.empty() &&
                  !st.resultFileFailed && StopReason(s) == 0;
  return ok ? 0 : 1;
}

namespace {
// One line for an ending that showed no message of its own.
void SayHowItEnded(Session& s) {
  if (int reason = StopReason(s); reason != 0)
    s.ui.LogLine("flash: " + StopText(reason) + ": the Full Operation was stopped and the port released");
  else if (!s.state.silentEnding.empty())
    s.ui.LogLine("flash: " + s.state.silentEnding);
}

}  // namespace

bool UnattendedRecord::Begin(Session& s) {
  log_ = ProductionLogPath(s, std::nullopt);
  facts_ = BoardFacts{};
  facts_.command = "full";
  facts_.start = s.clock.Now();
  std::string why;
  if (log_.empty() || LogIsWritable(log_, why)) return true;
  Fail(s, why);
  return false;
}

int UnattendedRecord::End(Session& s, int status) {
  if (log_.empty()) return status;
  facts_.seconds = SecondsBetween(facts_.start, s.clock.Now());
  facts_.file = s.state.hexFilePath;
  facts_.fileSha256 = FileDigest(s.state.hexFilePath);
  std::string why;
  if (AppendBoardRecord(log_, s, facts_, why)) return status;
  Fail(s, why);
  return status == 0 ? 1 : status;
}

// A production log that cannot take the record fails the run: a board
// without its record must not pass as done.
void UnattendedRecord::Fail(Session& s, const std::string& why) {
  s.ui.LogLine("flash: " + why);
  WriteResultFile(s, msg::kUnnumbered, why);
}

int RunUnattendedFullOperation(Session& s) {
  UnattendedRecord record;
  if (!record.Begin(s)) return 1;
  OnFullOperation(s);
  s.link.ClosePort();
  SayHowItEnded(s);
  return record.End(s, BatchExitStatus(s));
}

}  // namespace flash
