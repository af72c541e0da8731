#include "ops/StandardOutlets.h"
#include "support/TestSession.h"

namespace flash::test {

TestSession::TestSession(std::vector<std::string> args, PortFactory* factory)
    : link(factory ? *factory : static_cast<PortFactory&>(noPorts)),
      session(ui, clock, link, CommandLine(std::move(args)), StandardOutlets(), &ui) {
  session.state.programDir = dir.Path();
  session.state.catalogPath = dir.File("CHIPDEF.INI");
}

}  // namespace flash::test
