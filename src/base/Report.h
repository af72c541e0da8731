#pragma once
// The one place a result becomes what the user sees: text, display, sound,
// result file, and the return to the not-downloaded state after an error.
#include <string>

#include "base/Messages.h"

namespace flash {

struct Session;
class ProgressDialog;

// Where a report reaches beyond the user: the result file, and the port that
// an error of kind 2 or 3 closes. Whoever builds a session gives them, so
// reporting needs neither the link nor the diagnostic files.
class ReportOutlets {
 public:
  virtual void WriteResult(Session& s, MessageId id, const std::string& text) const = 0;
  virtual void ClosePort(Session& s) const = 0;

 protected:
  ~ReportOutlets() = default;
};

// Builds the final text from the message and the detail texts (consuming
// them), writes the result file, shows the text (progress dialog or message
// box; nothing in unattended runs) and waits for its acknowledgement. After
// kinds 2 and 3 also shows the redo-download notice, resets the command
// buttons and closes the port. Always returns 0.
int ReportResult(Session& s, MessageId id, ResultKind kind, SoundKind sound);

// The final text of a report as ReportResult builds it (consumes the details).
std::string BuildReportText(Session& s, MessageId id, ResultKind kind);

// Waits until the progress dialog's button is pressed, with a short sleep
// between looks; a stop request (a signal, the window closing) ends the wait.
void WaitForOk(Session& s, ProgressDialog& dialog);

// Plays or beeps as the sound settings say; never waits for the sound.
void PlayResultSound(Session& s, SoundKind sound);

}  // namespace flash
