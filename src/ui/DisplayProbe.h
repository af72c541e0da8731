#pragma once
// Whether the window can be shown at all. Qt ends the process (abort, exit
// 134) when the display it is told of cannot be reached, before the program
// could fall back to its headless run or say why; so the display is tried first.
#include <string>

namespace flash::ui {

// True when a display named by the environment answers. On Linux it picks
// the Qt platform that answered (unless QT_QPA_PLATFORM chooses one); *why
// says what was tried when none answered.
bool DisplayReachable(std::string* why);

}  // namespace flash::ui
