#pragma once
#include "ui/MainWindow.h"

namespace flash::ui {

// The window's commands as the program runs them: the flash engines (the same
// handlers flashcli runs) and the checksum of the hex file.
WindowActions EngineActions();

}  // namespace flash::ui
