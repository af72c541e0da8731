#pragma once
// Ctrl+C, SIGTERM and SIGHUP stop the running command instead of killing the
// process: the command ends at its next look at the link, its port is
// released, a read-out under way leaves no file, and the result file names
// the stop. Signals belong to the process, so a front end installs this once
// and hands each session the flag; the engines only read their session's flag.
#include <atomic>

namespace flash {

// Installs the handlers (and ignores SIGPIPE: a reader of standard error
// that went away must never kill a command that holds a port). Returns the
// flag the handlers set: 0, or the number of the first signal that came.
std::atomic<int>& InstallStopSignals();

}  // namespace flash
