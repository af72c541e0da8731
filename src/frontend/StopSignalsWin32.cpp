// Windows side of the stop signals: Ctrl+C, Ctrl+Break and the console
// closing arrive through the console control handler.
#include <windows.h>

#include <csignal>

#include "frontend/StopSignals.h"

namespace flash {
namespace {

// Process-wide by nature: a console event reaches the process, not a session.
std::atomic<int> gStop{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  int signal = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
  int none = 0;
  gStop.compare_exchange_strong(none, signal);
  return TRUE;
}

}  // namespace

std::atomic<int>& InstallStopSignals() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  return gStop;
}

}  // namespace flash
