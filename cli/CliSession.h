#pragma once
// A session of the core as flashcli runs it: the headless front end, the
// system clock and serial ports, and the start-up of the window.
#include <memory>

#include "base/Clock.h"
#include "base/Report.h"
#include "base/Session.h"
#include "cli/Cli.h"
#include "frontend/HeadlessFrontEnd.h"
#include "link/LinkTrace.h"
#include "link/SerialLink.h"

namespace flash::cli {

class CliSession {
 public:
  // Runs the start-up in the program's own directory and applies the
  // options. Null with *exitCode set (2) when start-up or an option fails.
  // outlets: where reports go besides the user (a board of a multi-board
  // run keeps its result out of MESSFILE.TXT).
  static std::unique_ptr<CliSession> Start(const Options& options, int* exitCode,
                                           const ReportOutlets* outlets = nullptr);

  Session& session() { return *session_; }
  HeadlessFrontEnd& ui() { return ui_; }

 private:
  CliSession();
  HeadlessFrontEnd ui_;
  SystemClock clock_;
  StreamTraceSink trace_{stderr};  // --trace: every byte on the link
  std::unique_ptr<PortFactory> ports_;
  std::unique_ptr<SerialLink> link_;
  std::unique_ptr<Session> session_;
};

}  // namespace flash::cli
