#pragma once
// The unattended run of the flash program: one Full Operation, then the
// exit status a script reads.
#include <string>

#include "app/BoardRecord.h"

namespace flash {

struct Session;

// The production log's record of an unattended run, kept when key File of
// section [Log] of Customize.ini names a log.
class UnattendedRecord {
 public:
  // Before the run: whether the log can take a record. False when it cannot;
  // the run must then not start (the reason is told and in the result file).
  bool Begin(Session& s);
  // After the run, whose exit status is status: appends the record and
  // returns the exit status to use (1 instead of 0 when it cannot be written).
  int End(Session& s, int status);

 private:
  void Fail(Session& s, const std::string& why);
  std::string log_;
  BoardFacts facts_;
};

// Exit status of an unattended run: 0 when it ended with message 306 and
// the result file says so, 128 + the signal when one stopped it, 1 for any
// other ending (kExitStartupFailure, 2, is the start-up's).
int BatchExitStatus(const Session& s);

// Runs the one Full Operation of an unattended run in a session prepared for
// it (see PrepareUnattendedRun), closes the port, names an ending that showed
// no message of its own, records it in the production log, and returns the
// exit status.
int RunUnattendedFullOperation(Session& s);

}  // namespace flash
