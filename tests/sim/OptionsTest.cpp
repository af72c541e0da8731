// flashsim's command line.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "sim/Options.h"
#include "support/TempDir.h"

namespace flash::sim {
namespace {

TEST(SimOptions, FaultsAndSettingsAreParsed) {
  std::string error;
  auto o = ParseSimOptions({"-d", "demo_b", "-x", "2", "-t", "-e", "500", "--no-answer", "0x38",
                            "--no-answer", "E8H", "--wrong-answer", "18=12", "--crc-error", "3",
                            "--verify-error", "100010", "--not-blank", "0x1FFFC", "--line-error",
                            "2", "--never-reset", "--timing-limit-over", "--pull-cable-after",
                            "200", "--cr", "0102030405060708", "--flash", "pattern"},
                           &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->device, "demo_b");
  EXPECT_EQ(o->crystal, 2u);
  EXPECT_TRUE(o->realisticTiming);
  EXPECT_EQ(o->eraseMs, 500);
  EXPECT_EQ(o->faults.silentCommands, (std::set<uint8_t>{0x38, 0xE8}));
  EXPECT_EQ(o->faults.wrongAnswers.at(0x18), 0x12);
  EXPECT_EQ(o->faults.crcErrorBlock, 3);
  EXPECT_EQ(o->faults.verifyErrorAt, 0x100010u);
  EXPECT_EQ(o->faults.notBlankAt, 0x1FFFCu);
  EXPECT_EQ(o->faults.lineErrorBlock, 2);
  EXPECT_TRUE(o->faults.neverReset);
  EXPECT_TRUE(o->faults.timingLimitOver);
  EXPECT_EQ(o->pullCableAfter, 200);
  EXPECT_EQ(o->cr, (std::array<uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(o->initial, InitialFlash::Pattern);
}

TEST(SimOptions, MalformedValuesAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"--crystal"},         {"--crystal", "-1"},          {"--no-answer", "100"},
      {"--wrong-answer", "18"}, {"--crc-error", "0"},      {"--verify-error", "xyz"},
      {"--cr", "0102"},      {"--erase-time", "1s"},       {"--program-size", "10"},
      {"--frobnicate"},
  };
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(ParseSimOptions(args, &error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

TEST(SimOptions, EveryOptionTheHelpNamesIsAccepted) {
  std::string usage = SimUsage();
  std::regex option("(--[a-z-]+)");
  std::set<std::string> named;
  for (auto it = std::sregex_iterator(usage.begin(), usage.end(), option); it != std::sregex_iterator(); ++it)
    named.insert((*it)[1]);
  ASSERT_GE(named.size(), 20u);
  for (const std::string& name : named) {
    // Try the option alone, then with a value each kind of option takes.
    bool accepted = false;
    for (const char* value : {"", "1", "100", "0x10", "18=12", "0102030405060708", "blank", "x"}) {
      std::vector<std::string> args{name};
      if (*value) args.push_back(value);
      std::string error;
      if (ParseSimOptions(args, &error)) accepted = true;
    }
    EXPECT_TRUE(accepted) << name;
  }
}

TEST(SimOptions, BoardFromTheCatalogue) {
  test::TempDir dir;
  dir.Write("CHIPDEF.INI",
            "[first]\nDownloadFile=A.CP\nLoadAddress=0x100\nStartAddress=0\nEndAddress=FFF\n"
            "FlashSize=4\nClock=4MHz,8MHz\nBaud=9600,19200\n"
            "[second]\nDownloadFile=B.CP\nLoadAddress=0x200\nStartAddress=0,10000\n"
            "EndAddress=7FF,100FF\nFlashSize=4\nClock=10MHz\nBaud=9600\nBaud2=57600\n"
            "[huge]\nDownloadFile=C.CP\nLoadAddress=0\nStartAddress=0\nEndAddress=2FFFFF\n"
            "FlashSize=4\nClock=1\nBaud=9600\n");
  SimOptions o;
  o.catalogue = dir.File("CHIPDEF.INI");
  std::string error;
  auto first = BoardConfigFor(o, &error);
  ASSERT_TRUE(first) << error;
  EXPECT_EQ(first->device, "FIRST");
  EXPECT_EQ(first->bootRates, (std::vector<int>{9600, 19200}));
  EXPECT_EQ(first->workingRates, (std::vector<int>{19200, 38400}));

  o.device = "Second";
  auto second = BoardConfigFor(o, &error);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(second->loadAddress, 0x200u);
  EXPECT_EQ(second->regions.size(), 2u);
  EXPECT_EQ(second->workingRates, std::vector<int>{57600});

  o.crystal = 1;
  EXPECT_FALSE(BoardConfigFor(o, &error)) << "the device has one crystal only";
  o.crystal = 0;
  o.device = "nothere";
  EXPECT_FALSE(BoardConfigFor(o, &error));
  EXPECT_NE(error.find("nothere"), std::string::npos);
}

TEST(SimOptions, InitialFlashFromASavedFile) {
  test::TempDir dir;
  BoardConfig config;
  config.regions = {{0, 0xFF}};
  config.bootRates = {9600};
  config.workingRates = {19200};
  config.clocks = {"x"};
  Board board(config);
  board.Flash().FillPattern();
  std::string error;
  ASSERT_TRUE(SaveFlash(board, dir.File("flash.bin"), &error)) << error;

  Board other(config);
  SimOptions o;
  o.initial = InitialFlash::File;
  o.initialFile = dir.File("flash.bin");
  ASSERT_TRUE(ApplyInitialFlash(other, o, &error)) << error;
  EXPECT_EQ(other.Flash().Dump(), board.Flash().Dump());

  dir.Write("short.bin", "abc");
  o.initialFile = dir.File("short.bin");
  EXPECT_FALSE(ApplyInitialFlash(other, o, &error));
  EXPECT_NE(error.find("256"), std::string::npos) << error;
}

}  // namespace
}  // namespace flash::sim
