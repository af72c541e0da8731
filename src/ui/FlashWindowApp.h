#pragma once
#include "base/CommandLine.h"

namespace flash::ui {

// The program with its window (a QApplication exists): start-up, then either
// the user's session or, with arguments, one unattended Full Operation.
// Returns the process exit status.
int RunFlashWindow(const CommandLine& args);

}  // namespace flash::ui
