#pragma once
// Running one of the programs as a user would, in a directory of its own.
#include <string>

#include "support/TempDir.h"

namespace flash::test {

struct ProgramRun {
  int status = -1;  // exit status; -1 when it did not exit normally
  std::string out;  // standard output and standard error together
};

// Runs a shell command line and collects what it prints.
ProgramRun RunCommand(const std::string& command);

// Whether this build made the program (the window is not built in every configuration).
bool ProgramBuilt(const std::string& name);

// Copies the built program (flashcli, flashsim, flash) into dir, where it
// finds CHIPDEF.INI and friends; returns its path there.
std::string InstallProgram(const TempDir& dir, const std::string& name);

}  // namespace flash::test
