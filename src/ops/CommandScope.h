#pragma once
// The frame every flash command runs in, as one object that every front end
// goes through. While it lives the session is busy; it owns the command's
// progress dialog and its port, and at its end the dialog is gone and the
// port closed, whichever way the command left. In runs whose result file a
// script reads it writes "NG" there at once, so no ending can leave an older
// "OK" standing, and it names an ending that reported nothing.
#include <cstdint>
#include <string>

namespace flash {

struct Session;

// The seven flash commands; their frames stand side by side in
// CommandScope.cpp.
enum class Command { Download, Erase, BlankCheck, ProgramVerify, ReadCompare, Copy, FullOperation };

class CommandScope {
 public:
  explicit CommandScope(Session& s);
  ~CommandScope();
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;

  // Runs the command's opening steps, in the window's order: time stamp,
  // controls into the state, the hex-file test, back to the not-downloaded
  // state, the progress dialog, the port at the working rate. False when the
  // command ends here: the hex file is missing (401 reported), the dialog
  // could not be made, or the port would not open (reported, kind 2).
  bool Begin(Command command);
  // Opens the port at the working rate and purges it; on failure closes it,
  // reports the port's message (kind 2), drops the progress dialog.
  bool OpenWorkingPort();

 private:
  Session& s_;
  int writesAtStart_ = 0;
};

// Replaces any progress dialog by a new one and opens it (Copy makes its own
// after the save dialog). False (and no dialog) when it cannot be made.
bool NewProgressDialog(Session& s, int style, const std::string& caption);

// "Full Operation - " in front of a message when the step runs inside one.
std::string OperationTitle(int messageId, bool fullOperation);
// The cancelled-transfer ending: "It was canceled", the button turned into
// "OK", and the wait for its press; then both port buffers are purged. The
// ending is named in the result file of unattended runs.
void ShowCancelled(Session& s);
// "CRC error detected in 0x%X\nretry?" in a Yes/No box owned by the progress
// dialog. True for Yes.
bool AskCrcRetry(Session& s, uint32_t address);

}  // namespace flash
