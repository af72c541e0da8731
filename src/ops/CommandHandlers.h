#pragma once
// The flash commands of the main window, each inside its command frame:
// time stamp, fresh progress dialog, port opened at the working rate, the
// engine, then the dialog destroyed and the port closed. flashcli runs the
// same handlers.
namespace flash {

struct Session;

void OnDownload(Session& s);
void OnErase(Session& s);
void OnBlankCheck(Session& s);
void OnProgramVerify(Session& s);
void OnReadCompare(Session& s);
void OnCopy(Session& s);
void OnFullOperation(Session& s);

}  // namespace flash
