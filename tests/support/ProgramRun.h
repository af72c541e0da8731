#pragma once
// Running one of the programs as a user would, in a directory of its own.
#include <string>

#include "support/TempDir.h"

namespace flash::test {

struct ProgramRun {
  int status = -1;  // exit status; -1 when it did not exit normally
  std::string out;  // standard output and standard error together
};

// Runs a shell command line and collects what it prints. A sanitizer report
// in what it prints, or the sanitizer builds' exit status for one, fails the
// running test whatever status the test expects.
ProgramRun RunCommand(const std::string& command);

// A shell command line started in the background, for tests that send it
// signals: "exec ./flashcli ..." makes the program itself the process signalled.
class BackgroundRun {
 public:
  explicit BackgroundRun(const std::string& command);
  ~BackgroundRun();  // kills the process if it still runs
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  bool Started() const { return pid_ > 0; }
  bool Running();
  void Signal(int signal);
  // Waits for the end: exit status in status (-1 when a signal ended it,
  // which termSignal then names), everything printed in out. A sanitizer
  // report fails the running test, as for RunCommand.
  ProgramRun Wait(int* termSignal = nullptr);

 private:
  std::string command_;
  int pid_ = -1;
  std::string outPath_;
  bool exited_ = false;
  int rawStatus_ = 0;
};

// Whether this build made the program (the window is not built in every configuration).
bool ProgramBuilt(const std::string& name);

// Copies the built program (flashcli, flashsim, flash) into dir, where it
// finds CHIPDEF.INI and friends; returns its path there.
std::string InstallProgram(const TempDir& dir, const std::string& name);

}  // namespace flash::test
