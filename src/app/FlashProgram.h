#pragma once
// The unattended run of the flash program: one Full Operation, then the
// exit status a script reads.
namespace flash {

struct Session;

// Exit status of an unattended run: 0 when it ended with message 306 and
// the result file says so, 128 + the signal when one stopped it, 1 for any
// other ending (kExitStartupFailure, 2, is the start-up's).
int BatchExitStatus(const Session& s);

// Runs the one Full Operation of an unattended run in a session prepared for
// it (see PrepareUnattendedRun), closes the port, names an ending that showed
// no message of its own, and returns the exit status.
int RunUnattendedFullOperation(Session& s);

}  // namespace flash
