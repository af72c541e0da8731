#pragma once
// The flash program's start when it has no window to show.
#include "app/CommandLine.h"

namespace flash {

// Whether a display is there for the window (DISPLAY or WAYLAND_DISPLAY on
// Linux; always on Windows and macOS).
bool HasDisplay();

// Exit status of an unattended run: 0 when it ended with message 306, 1 for
// any other ending, kExitStartupFailure (2) for a start-up failure.
int BatchExitStatus(int lastReportId);

// Runs the program without Qt widgets: start-up through the headless front
// end, then, with arguments, the one unattended Full Operation. Returns the
// process exit status.
int RunFlashHeadless(const CommandLine& args);

}  // namespace flash
