#pragma once
// Several simulated boards on pseudo-terminals behind COM1 to COMn of a
// program directory with flashcli, the catalogue, a control program and a
// hex file of 3,000 bytes at 0400H (DEMO_A: regions 0-FFFF and 100000-100FFF).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/ControlProgram.h"
#include "support/BoardRig.h"
#include "support/ProgramRun.h"
#include "support/SimHarness.h"

namespace flash::test {

inline std::vector<uint8_t> GangData(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed ^ (i * 31 + (i >> 5)));
  return v;
}

class GangTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kDataAt = 0x0400;
  static constexpr std::size_t kDataSize = 3000;

  void SetUp() override {
    cli = InstallProgram(dir, "flashcli");
    dir.Write("CHIPDEF.INI", kSimCatalogue);
    auto program = sim::MakeControlProgram("DEMO_A", "");
    dir.Write("DEMOA.CP", std::string(program.begin(), program.end()));
    dir.Write("app.mhx", SRecords(kDataAt, GangData(kDataSize, 5)));
  }
  // count boards; the one at index faulty (from 0) gets faults.
  void StartBoards(int count = 4, int faulty = -1, const sim::Faults& faults = {}) {
    for (int i = 0; i < count; ++i) {
      auto b = std::make_unique<SimHarness>(dir.File("CHIPDEF.INI"), "DEMO_A");
      if (i == faulty) b->SetFaults(faults);
      ASSERT_TRUE(b->Start()) << b->Error();
      ASSERT_TRUE(b->PointCom(dir.Path(), i + 1));
      boards.push_back(std::move(b));
    }
  }
  ProgramRun Cli(const std::string& args) {
    return RunCommand("cd '" + dir.Path() + "' && ./flashcli --no-reset " + args + " </dev/null");
  }
  bool Programmed(int board) {
    return boards[board]->ReadFlash(kDataAt, kDataSize) == GangData(kDataSize, 5);
  }

  TempDir dir;
  std::string cli;
  std::vector<std::unique_ptr<SimHarness>> boards;
};

}  // namespace flash::test
