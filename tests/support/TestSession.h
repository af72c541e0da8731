#pragma once
// A core session over fakes: the fake front end and clock, a port factory
// of the test's choice, and a program directory of its own.
#include <memory>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/Session.h"
#include "link/SerialLink.h"
#include "support/FakeClock.h"
#include "support/FakeFrontEnd.h"
#include "support/TempDir.h"

namespace flash::test {

// A factory whose ports never open (for tests that need no link).
class NoPortFactory final : public PortFactory {
 public:
  std::unique_ptr<Port> Open(int, std::string* reason) override {
    if (reason) *reason = "no port in this test";
    return nullptr;
  }
};

struct TestSession {
  explicit TestSession(std::vector<std::string> args = {},
                       PortFactory* factory = nullptr);

  TempDir dir;
  FakeFrontEnd ui;
  FakeClock clock;
  NoPortFactory noPorts;
  SerialLink link;
  Session session;

  SessionState& state() { return session.state; }
};

// A catalogue with one two-region device, DEMO_CHIP, and its crystal list.
inline constexpr const char* kTwoRegionCatalogue =
    "[demo_chip]\r\n"
    "DownloadFile=demo.bin\r\n"
    "LoadAddress=0x1000\r\n"
    "StartAddress=00000000,00100000\r\n"
    "EndAddress=000FFFFF,00100FFF\r\n"
    "FlashSize=1028\r\n"
    "Clock=4MHz,8MHz\r\n"
    "Baud=9600,19200\r\n";

}  // namespace flash::test
