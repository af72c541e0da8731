#pragma once
// The flash program when it has no window to show.
#include <string>

#include "base/CommandLine.h"

namespace flash {

struct Session;

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
