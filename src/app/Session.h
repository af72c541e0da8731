#pragma once
// Everything an operation reaches: the window's state, the command line, the
// front end, the clock and the serial link.
#include <atomic>

#include "app/Clock.h"
#include "app/CommandLine.h"
#include "app/Profile.h"
#include "app/SessionState.h"

namespace flash {

class FrontEnd;
class SerialLink;

struct Session {
  Session(FrontEnd& frontEnd, Clock& clk, SerialLink& serial, CommandLine commandLine)
      : args(std::move(commandLine)), ui(frontEnd), clock(clk), link(serial) {}

  SessionState state;
  CommandLine args;
  FrontEnd& ui;
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

}  // namespace flash
