// The board reads CHIPDEF.INI by its own code; it must come to the values and
// the verdicts the programmer comes to, or it would play sections the
// programmer refuses, or at other rates.
#include "sim/ChipDefinition.h"

#include <gtest/gtest.h>

#include <random>

#include "base/Catalogue.h"
#include "base/Profile.h"
#include "sim/Board.h"
#include "sim/Options.h"
#include "support/TempDir.h"

namespace flash::sim {
namespace {

const std::vector<std::string> kAddresses = {
    "0", "0,10000", ",,0x10,,  20,", "1000Q,zz", "FFFFFFFF", "-1", "0x", " \t-0x7fffffff", "+0X1g",
    "20000000", "0x200FFFFF,", "-80000000", "-80000001", "7FF,100FF", "0,10,20,30,40,50,60,70,80,90,A0",
    "0x0x10", "  ", "2FFFFF", "1FFFFFFF", std::string(250, ' ') + "1,FFF", std::string(300, '0') + "1"};
const std::vector<std::string> kClocks = {"4MHz,8MHz", ",4MHz,,8MHz,", "", "1", " a , b ", "x,y,z"};
const std::vector<std::string> kBauds = {
    "9600,19200", "9600, 19200,x,115200bps", "25", "6000001", "-9600", "99999999999", "",
    "50,50,50", "+12000000", "0x10", std::string(254, ' ') + "96000"};
const std::vector<std::string> kLoads = {"0x100", "-5", "abc", "", "4294967295"};

std::string Pick(std::mt19937& random, const std::vector<std::string>& values) {
  return values[random() % values.size()];
}

std::string Section(std::mt19937& random) {
  std::string text = "[dev]\n";
  auto key = [&](const char* name, const std::string& value) {
    if (random() % 8 != 0) text += std::string(name) + "=" + value + "\n";  // now and then absent
  };
  key("DownloadFile", "A.CP");
  key("FlashSize", "4");
  key("LoadAddress", Pick(random, kLoads));
  key("StartAddress", Pick(random, kAddresses));
  key("EndAddress", Pick(random, kAddresses));
  key("Clock", Pick(random, kClocks));
  key("Baud", Pick(random, kBauds));
  key("Baud2", Pick(random, kBauds));
  return text;
}

TEST(ChipDefinition, ReadsAndJudgesAsTheProgrammerDoes) {
  test::TempDir dir;
  std::mt19937 random(20240611);
  int usable = 0;
  for (int round = 0; round < 4000; ++round) {
    const std::string text = Section(random);
    profile::IniIndex index(text);
    ChipDefinition board = ReadChipDefinition(&index, "dev");
    DeviceDefinition host = ReadDeviceDefinition(&index, "dev");
    ASSERT_EQ(board.name, host.name) << text;
    ASSERT_EQ(board.loadAddress, host.loadAddress) << text;
    ASSERT_EQ(board.regionStarts, host.regionStarts) << text;
    ASSERT_EQ(board.regionEnds, host.regionEnds) << text;
    ASSERT_EQ(board.clocks, host.clocks) << text;
    ASSERT_EQ(board.bauds, host.bauds) << text;
    ASSERT_EQ(board.bauds2, host.bauds2) << text;
    dir.Write("CHIPDEF.INI", text);
    ASSERT_EQ(HasRequiredKeys(index, "dev"), IsCompleteDefinition(dir.File("CHIPDEF.INI"), "dev")) << text;
    auto problem = ChipProblem(board);
    ASSERT_EQ(problem, DefinitionProblem(host)) << text;
    if (problem) continue;
    ++usable;
    for (std::size_t crystal = 0; crystal < board.clocks.size(); ++crystal) {
      std::string why;
      auto config = ConfigFromDefinition(board, crystal, &why);
      ASSERT_TRUE(config) << why;
      EXPECT_EQ(config->bootRates[crystal], host.BootBaud(crystal)) << text;
      EXPECT_EQ(config->workingRates[crystal], host.WorkingBaud(crystal)) << text;
    }
  }
  EXPECT_GT(usable, 20);
}

// A section with every key the programmer asks for; first comes before them
// and so decides where it names one of them.
std::string CompleteSection(const std::string& name, const std::string& end, const std::string& bauds,
                            const std::string& first = "") {
  return "[" + name + "]\n" + first + "DownloadFile=A.CP\nFlashSize=4\nLoadAddress=0x10\nStartAddress=0\n" +
         "EndAddress=" + end + "\nClock=1,2\nBaud=" + bauds + "\n";
}

TEST(ChipDefinition, AKeyWithoutAValueIsMissing) {
  test::TempDir dir;
  for (std::string key : {"DownloadFile", "LoadAddress", "StartAddress", "EndAddress", "FlashSize",
                          "Clock", "Baud", "Baud2"}) {
    for (const char* value : {"", "  ", "x"}) {
      const std::string text = CompleteSection("Dev", "FF", "9600,4800", key + "=" + value + "\n");
      dir.Write("CHIPDEF.INI", text);
      profile::IniIndex index(text);
      EXPECT_EQ(HasRequiredKeys(index, "DEV"), IsCompleteDefinition(dir.File("CHIPDEF.INI"), "DEV")) << text;
      EXPECT_EQ(HasRequiredKeys(index, "DEV"), key == "Baud2" || *value == 'x') << text;
    }
  }
}

TEST(ChipDefinition, TheFirstSectionPlayedIsTheFirstTheProgrammerLists) {
  test::TempDir dir;
  dir.Write("CHIPDEF.INI", "[lacking]\nDownloadFile=A.CP\n" + CompleteSection("Wide", "3FFFFF", "9600,4800") +
                               CompleteSection("Slow", "FF", "9600,4800\nBaud2=25,57600") +
                               CompleteSection("Good_one", "FF", "9600,4800"));
  SimOptions o;
  o.catalogue = dir.File("CHIPDEF.INI");
  std::string error;
  auto config = BoardConfigFor(o, &error);
  ASSERT_TRUE(config) << error;
  EXPECT_EQ(config->device, ListDevices(o.catalogue).devices.at(0));
  EXPECT_EQ(config->device, "GOOD_ONE");
  EXPECT_EQ(config->workingRates, (std::vector<int>{19200, 9600}));

  o.device = "wide";
  EXPECT_FALSE(BoardConfigFor(o, &error));
  EXPECT_EQ(error, "Wide: region 1 (00000000H to 003FFFFFH) does not fit the flash image");
  o.device = "SLOW";
  EXPECT_FALSE(BoardConfigFor(o, &error));
  EXPECT_EQ(error, "Slow: Baud2 entry 1 (25) is not a line rate (50 to 12000000 baud)");
  o.device = "Lacking";
  EXPECT_FALSE(BoardConfigFor(o, &error));
  EXPECT_EQ(error, "Lacking: the definition lacks a required key");
}

}  // namespace
}  // namespace flash::sim
