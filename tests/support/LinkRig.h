#pragma once
// A test session whose serial link runs over the fake port, in fake time.
#include <memory>
#include <string>
#include <vector>

#include "support/FakeClock.h"
#include "support/FakePort.h"
#include "support/TestSession.h"

namespace flash::test {

struct LinkRig {
  explicit LinkRig(std::vector<std::string> args = {})
      : t(std::make_unique<TestSession>(std::move(args), &ports)) {
    ports.Bind(t->clock);
  }
  Session& s() { return t->session; }
  SessionState& state() { return t->session.state; }
  FakeLine& line() { return *ports.line; }
  FakeClock& clock() { return t->clock; }
  FakeFrontEnd& ui() { return t->ui; }
  // Writes the two-region catalogue (plus extra lines for its section) and selects DEMO_CHIP.
  void UseDemoChip(const std::string& extraKeys = "", int crystal = 0);

  FakePortFactory ports;
  std::unique_ptr<TestSession> t;
};

}  // namespace flash::test
