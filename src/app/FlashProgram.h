#pragma once
// The flash program's start when it has no window to show.
#include <string>

#include "app/CommandLine.h"

namespace flash {
struct Session;
}

namespace flash {

// Whether a display is there for the window (DISPLAY or WAYLAND_DISPLAY on
// Linux; always on Windows and macOS).
bool HasDisplay();

// Exit status of an unattended run: 0 when it ended with message 306 and
// the result file says so, 128 + the signal when one stopped it, 1 for any
// other ending (kExitStartupFailure, 2, is the start-up's).
int BatchExitStatus(const Session& s);

// Prepares a session for an unattended run: the result file says NG from
// the start of the run, and the stop signals end the command cleanly.
void PrepareUnattendedRun(Session& s);

// Runs the program without Qt widgets: start-up through the headless front
// end, then, with arguments, the one unattended Full Operation. Returns the
// process exit status.
// noDisplay: why the window could not be shown, for the one line that says so
// when there is nothing to run.
int RunFlashHeadless(const CommandLine& args, const std::string& noDisplay = "");

}  // namespace flash
