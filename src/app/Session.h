#pragma once
// Everything an operation reaches: the window's state, the command line, the
// front end, the clock and the serial link.
#include "app/Clock.h"
#include "app/CommandLine.h"
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
};

}  // namespace flash
