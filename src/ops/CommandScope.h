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

// The opening steps of one command, taken in the window's order: time stamp,
// controls into the state, the hex-file test, back to the not-downloaded
// state, the progress dialog, the port at the working rate.
struct CommandFrame {
  bool takeControls = false;       // copy the controls into the state first
  bool needsHexFile = false;       // 401 when hexFilePath names no file
  bool startsFromBootRom = false;  // close the port and reset the buttons first
  const char* caption = nullptr;   // progress dialog caption; null: the command makes its own
  int dialogStyle = -1;            // -1 stands for 13
  bool dialogOnlyWhenShown = false;  // no dialog at all without showDialogs
  bool centreDialog = false;       // layout 13, centred, after the dialog opens
  bool opensWorkingPort = false;   // the port at linkBaud, purged
};

class CommandScope {
 public:
  explicit CommandScope(Session& s);
  ~CommandScope();
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;

  // Runs the frame's opening steps. False when the command ends here: the
  // hex file is missing (401 reported), the dialog could not be made, or the
  // port would not open (reported, kind 2).
  bool Begin(const CommandFrame& frame);
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
