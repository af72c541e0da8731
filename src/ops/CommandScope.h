#pragma once
// The steps every flash command runs around its engine.
#include <string>

namespace flash {

struct Session;

// Replaces any leftover progress dialog by a new one (style -1 for 13) and
// opens it. False (and no dialog) when the window cannot be made.
bool NewProgressDialog(Session& s, int style, const std::string& caption);
// Destroys the progress dialog (enabling the main window again), if any.
void DropProgressDialog(Session& s);
// Opens the port at the working rate and purges it; on failure closes it,
// reports the port's message (kind 2), drops the progress dialog and returns false.
bool OpenWorkingPort(Session& s);
// The end of every command: no dialog, no open port.
void EndCommand(Session& s);
// hexFilePath names an existing file; else reports 401 and returns false.
bool HexFileReady(Session& s);
// "Full Operation - " in front of a message when the step runs inside one.
std::string OperationTitle(int messageId, bool fullOperation);
// The cancelled-transfer ending: "It was canceled", the button turned into
// "OK", and the wait for its press; then both port buffers are purged.
void ShowCancelled(Session& s);

}  // namespace flash

#include <cstdint>

namespace flash {
// "CRC error detected in 0x%X\nretry?" in a Yes/No box owned by the progress
// dialog. True for Yes.
bool AskCrcRetry(Session& s, uint32_t address);
}  // namespace flash
