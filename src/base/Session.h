#pragma once
// Everything an operation reaches: the window's state, the command line, the
// front end, the main window (or its stand-in), the clock, the serial link
// and the outlets of a report.
#include <atomic>

#include "base/Clock.h"
#include "base/CommandLine.h"
#include "base/Profile.h"
#include "base/SessionState.h"

namespace flash {

class FrontEnd;
class ReportOutlets;
class SerialLink;
class WindowSync;

struct Session {
  // outlets: where reports go besides the user (the core's own are
  // StandardOutlets() of ops/). window: the main window to keep in step;
  // none for a front end without one.
  Session(FrontEnd& frontEnd, Clock& clk, SerialLink& serial, CommandLine commandLine,
          const ReportOutlets& reportOutlets, WindowSync* mainWindow = nullptr);

  SessionState state;
  CommandLine args;
  FrontEnd& ui;
  // Never null: NoWindow() when the front end has no main window.
  WindowSync* window;
  const ReportOutlets& outlets;
  Clock& clock;
  SerialLink& link;
  // Set from outside the command to stop it (a signal, the window closing):
  // 0 for none, else a StopReason. The front end owns it; the engines only read it.
  std::atomic<int>* stopRequest = nullptr;
  // The INI files this session reads, each parsed once while it is unchanged.
  // A cache only, so reads through a const session may fill it.
  mutable profile::Cache profiles;
};

// Why a command was asked to stop: a signal's number, or the window closing.
inline constexpr int kStopWindowClosed = 1000;

// Whether the running command has been asked to stop; every read and write
// of the link looks, so any wait ends within one port time-out.
inline bool StopRequested(const Session& s) {
  return s.stopRequest != nullptr && s.stopRequest->load(std::memory_order_relaxed) != 0;
}
inline int StopReason(const Session& s) {
  return s.stopRequest != nullptr ? s.stopRequest->load(std::memory_order_relaxed) : 0;
}

// The exit status a shell gives for a signal: 128 + its number.
inline int SignalExitStatus(int signal) { return 128 + signal; }

}  // namespace flash
