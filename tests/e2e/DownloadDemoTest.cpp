// The demo's files: each device downloads its control program, programs its
// sample files and reads them back identical on the simulated board.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ops/CommandHandlers.h"
#include "support/SimHarness.h"

namespace flash::test {
namespace {

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(FLASH_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct DemoCase {
  const char* name;
  const char* device;
  int crystal;
  const char* file;
  uint32_t probe;  // an address the file fills
};

class DemoData : public ::testing::TestWithParam<DemoCase> {};

TEST_P(DemoData, FullOperationThenReadAndCompare) {
  const DemoCase& c = GetParam();
  SimRig rig;
  const std::string catalogue = ReadSource("data/demo/CHIPDEF.INI");
  ASSERT_FALSE(catalogue.empty());
  for (const auto& entry : std::filesystem::directory_iterator(std::string(FLASH_SOURCE_DIR) + "/data/demo"))
    rig.dir.Write(entry.path().filename().string(), ReadSource("data/demo/" + entry.path().filename().string()));
  ASSERT_TRUE(rig.Use(catalogue, c.device, c.crystal)) << rig.Error();
  rig.board->FillFlashPattern();  // a used board: Full Operation must erase first
  rig.state().hexFilePath = rig.dir.File(c.file);

  OnFullOperation(rig.s());
  EXPECT_EQ(rig.state().lastReportId, 306) << rig.state().lastReportText << rig.board->EventText();
  EXPECT_EQ(rig.board->Stats().erases, 1);
  EXPECT_NE(rig.board->ReadFlash(c.probe, 4), std::vector<uint8_t>(4, 0xFF));

  OnReadCompare(rig.s());
  EXPECT_EQ(rig.state().lastReportId, 305) << rig.state().lastReportText << rig.board->EventText();
}

INSTANTIATE_TEST_SUITE_P(
    Demo, DemoData,
    ::testing::Values(DemoCase{"TwoRegionsSRecords", "DEMO_A", 1, "demo_a.mhx", 0x00100000},
                      DemoCase{"TwoRegionsIntelHex", "DEMO_A", 0, "demo_a.hex", 0x00100000},
                      DemoCase{"Baud2IntelHex", "DEMO_B", 2, "demo_b.hex", 0x00010000},
                      DemoCase{"Baud2SRecords", "DEMO_B", 1, "demo_b.mhx", 0x00010000}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace flash::test
