#include "app/BoardEnd.h"

#include "base/Messages.h"
#include "base/Session.h"
#include "diag/DiagFiles.h"

namespace flash {

bool IsSuccess(int id) {
  switch (id) {
    case msg::kErased:
    case msg::kBlank:
    case msg::kProgrammed:
    case msg::kIdentical:
    case msg::kFullOperationDone:
    case msg::kDownloaded:
    case msg::kCopyDone:
      return true;
    default:
      return false;
  }
}

BoardEnd EndOf(const Session& s) {
  const SessionState& st = s.state;
  if (StopReason(s) != 0 || !st.silentEnding.empty() || st.lastReportId == 0)
    return BoardEnd::Failed;
  if (IsSuccess(st.lastReportId)) return BoardEnd::Ok;
  // Inside a Full Operation the same reports are errors (kind 2 or 3).
  if ((st.lastReportId == msg::kNotBlank || st.lastReportId == msg::kDifference) &&
      st.lastReportKind == KindInformation)
    return BoardEnd::Negative;
  return BoardEnd::Failed;
}

std::string EndText(const Session& s) {
  if (int reason = StopReason(s); reason != 0) return StopText(reason);
  if (!s.state.silentEnding.empty()) return s.state.silentEnding;
  if (s.state.lastReportId == 0) return "the command ended without a result";
  return s.state.lastReportText;
}

}  // namespace flash
