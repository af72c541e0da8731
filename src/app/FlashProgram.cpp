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

// A production log that cannot take the record fails the run: a board
// without its record must not pass as done.
int LogFailure(Session& s, const std::string& why) {
  s.ui.LogLine("flash: " + why);
  WriteResultFile(s, msg::kUnnumbered, why);
  return 1;
}
}  // namespace

int RunUnattendedFullOperation(Session& s) {
  const std::string log = ProductionLogPath(s, std::nullopt);
  std::string why;
  if (!log.empty() && !LogIsWritable(log, why)) return LogFailure(s, why);
  BoardFacts facts;
  facts.command = "full";
  facts.start = s.clock.Now();
  OnFullOperation(s);
  s.link.ClosePort();
  SayHowItEnded(s);
  const int status = BatchExitStatus(s);
  if (log.empty()) return status;
  facts.seconds = SecondsBetween(facts.start, s.clock.Now());
  facts.file = s.state.hexFilePath;
  facts.fileSha256 = FileDigest(s.state.hexFilePath);
  if (AppendBoardRecord(log, s, facts, why)) return status;
  const int failed = LogFailure(s, why);
  return status == 0 ? failed : status;
}

}  // namespace flash
