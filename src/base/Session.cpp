#include "base/Session.h"

#include "base/FrontEnd.h"

namespace flash {

Session::Session(FrontEnd& frontEnd, Clock& clk, SerialLink& serial, CommandLine commandLine,
                 const ReportOutlets& reportOutlets, WindowSync* mainWindow)
    : args(std::move(commandLine)),
      ui(frontEnd),
      window(mainWindow ? mainWindow : &NoWindow()),
      outlets(reportOutlets),
      clock(clk),
      link(serial) {}

}  // namespace flash
