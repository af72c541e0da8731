#include "base/Catalogue.h"

#include <gtest/gtest.h>

#include "app/Startup.h"
#include "base/CommandButtons.h"
#include "base/FileUtil.h"
#include "support/TestSession.h"

namespace flash {
namespace {

using test::TestSession;

TEST(CatalogueLists, AddressItemsAsSigned32BitHex) {
  EXPECT_EQ(ParseAddressList("00000000,00100000"), (std::vector<uint32_t>{0, 0x100000}));
  EXPECT_EQ(ParseAddressList(",,0x10,,  20,"), (std::vector<uint32_t>{0x10, 0x20}));
  EXPECT_EQ(ParseAddressList("1000Q,zz"), (std::vector<uint32_t>{0x1000, 0}));
  EXPECT_EQ(ParseAddressList("FFFFFFFF"), (std::vector<uint32_t>{0x7FFFFFFF}));  // saturates
  EXPECT_EQ(ParseAddressList("-1"), (std::vector<uint32_t>{0xFFFFFFFF}));
  EXPECT_EQ(ParseAddressList("0x"), (std::vector<uint32_t>{0}));
  EXPECT_TRUE(ParseAddressList(",,,").empty());
}

TEST(CatalogueLists, BaudAndClockItems) {
  EXPECT_EQ(ParseBaudList("9600, 19200,x,115200bps"),
            (std::vector<int32_t>{9600, 19200, 0, 115200}));
  EXPECT_EQ(ParseClockList("4, 8"), (std::vector<std::string>{"4", " 8"}));
  EXPECT_EQ(ParseClockList(",4MHz,,8MHz,"), (std::vector<std::string>{"4MHz", "8MHz"}));
}

struct ProblemCase {
  const char* start;
  const char* end;
  const char* clock;
  const char* baud;
  const char* baud2;
  const char* problem;  // nullptr: usable
};

class DefinitionProblems : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(DefinitionProblems, AreFoundWhenListed) {
  const ProblemCase& c = GetParam();
  DeviceDefinition d;
  d.regionStarts = ParseAddressList(c.start);
  d.regionEnds = ParseAddressList(c.end);
  d.clocks = ParseClockList(c.clock);
  d.bauds = ParseBaudList(c.baud);
  d.bauds2 = ParseBaudList(c.baud2);
  auto problem = DefinitionProblem(d);
  if (!c.problem) {
    EXPECT_FALSE(problem) << *problem;
  } else {
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(c.problem), std::string::npos) << *problem;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, DefinitionProblems,
    ::testing::Values(
        ProblemCase{"0,100000", "FFFFF,100FFF", "4,8", "9600,19200", "", nullptr},
        ProblemCase{"0", "2FFFFF", "4", "9600", "", nullptr},  // fills the base area exactly
        ProblemCase{"0", "300000", "4", "9600", "", "does not fit"},
        ProblemCase{"20000000", "200FFFFF", "4", "9600", "", nullptr},
        ProblemCase{"20000000", "20100000", "4", "9600", "", "does not fit"},
        ProblemCase{"1FFFF000", "20000FFF", "4", "9600", "", "does not fit"},
        ProblemCase{"0,20000000", "FFFF,2000FFFF", "4", "9600", "", nullptr},
        ProblemCase{"0,1,2,3,4,5,6,7,8,9,A", "0,1,2,3,4,5,6,7,8,9", "4", "9600", "",
                    "more than 10"},
        ProblemCase{"0", "FFFF,1FFFF", "4", "9600", "", "fewer items"},
        ProblemCase{"100,0", "1FF,FF", "4", "9600", "", "does not lie above"},
        ProblemCase{"0,FFFF", "FFFF,1FFFF", "4", "9600", "", "does not lie above"},
        ProblemCase{"FF", "0", "4", "9600", "", "ends before it starts"},
        ProblemCase{"0", ",", "4", "9600", "", "no items"},
        ProblemCase{"0", "FF", ",", "9600", "", "Clock has no items"},
        ProblemCase{"0", "FF", "4,8", "9600", "", "Baud has fewer"},
        ProblemCase{"0", "FF", "4,8", "9600,9600", "38400", "Baud2 has fewer"},
        ProblemCase{"0", "FF", "4", "0", "", "Baud entry 1 (0) is not a line rate"},
        // Rates: positive, within what a port takes, also once doubled; the
        // doubling is done without overflow.
        ProblemCase{"0", "FF", "4", "-9600", "", "Baud entry 1 (-9600) is not a line rate"},
        ProblemCase{"0", "FF", "4", "49", "", "(49) is not a line rate"},
        ProblemCase{"0", "FF", "4", "6000000", "", nullptr},
        ProblemCase{"0", "FF", "4", "6000001", "", "doubled, 12000002, is not a line rate"},
        ProblemCase{"0", "FF", "4", "1073741824", "", "Baud entry 1 (1073741824) is not a line rate"},
        ProblemCase{"0", "FF", "4", "99999999999", "", "(2147483647) is not a line rate"},
        ProblemCase{"0", "FF", "4", "1073741824", "115200", "Baud entry 1 (1073741824) is not"},
        ProblemCase{"0", "FF", "4,8", "9600,9600", "115200,0", "Baud2 entry 2 (0) is not"},
        ProblemCase{"0", "FF", "4", "9600", "12000001", "Baud2 entry 1 (12000001)"},
        // Addresses at the ends of the range: saturated, wrapped, reversed.
        ProblemCase{"0", "FFFFFFFF", "4", "9600", "", "does not fit"},
        ProblemCase{"FFFFFFFF", "FFFFFFFF", "4", "9600", "", "does not fit"},
        ProblemCase{"7FFFFFFF", "7FFFFFFF", "4", "9600", "", "does not fit"},
        ProblemCase{"0", "-1", "4", "9600", "", "does not fit"},
        ProblemCase{"20000000,200FFFFF", "200FFFFE,FFFFFFFF", "4", "9600", "", "does not fit"},
        ProblemCase{"200FFFFF", "200FFFFF", "4", "9600", "", nullptr},
        ProblemCase{"FFFFFFFF", "0", "4", "9600", "", "ends before it starts"}));

// The rates handed to the link are never an overflowed or out-of-range value.
TEST(Catalogue, RatesOutsideTheLineRatesReadAsNone) {
  DeviceDefinition d;
  d.bauds = {1073741824, 9600, -5, 2147483647};
  EXPECT_EQ(d.BootBaud(0), 0);
  EXPECT_EQ(d.WorkingBaud(0), 0);
  EXPECT_EQ(d.BootBaud(1), 9600);
  EXPECT_EQ(d.WorkingBaud(1), 19200);
  EXPECT_EQ(d.WorkingBaud(2), 0);
  EXPECT_EQ(d.WorkingBaud(3), 0);
  EXPECT_EQ(d.WorkingBaud(4), 0);
  d.bauds2 = {57600};
  EXPECT_EQ(d.WorkingBaud(0), 57600);
  EXPECT_EQ(d.WorkingBaud(1), 0);
}

TEST(Startup, ListsCompleteDefinitionsInFileOrderInUpperCase) {
  TestSession t;
  t.dir.Write("CHIPDEF.INI", std::string(test::kTwoRegionCatalogue) +
                                 "[no_baud]\r\nDownloadFile=a\r\nLoadAddress=0\r\n"
                                 "StartAddress=0\r\nEndAddress=FF\r\nFlashSize=1\r\nClock=4\r\n"
                                 "[empty_baud]\r\nDownloadFile=a\r\nLoadAddress=0\r\n"
                                 "StartAddress=0\r\nEndAddress=FF\r\nFlashSize=1\r\nClock=4\r\n"
                                 "Baud=\r\n"
                                 "[Zed]\r\nDownloadFile=z\r\nLoadAddress=0\r\nStartAddress=0\r\n"
                                 "EndAddress=FFF\r\nFlashSize=1\r\nClock=1\r\nBaud=4800\r\n"
                                 "[too_big]\r\nDownloadFile=z\r\nLoadAddress=0\r\n"
                                 "StartAddress=0\r\nEndAddress=400000\r\nFlashSize=1\r\n"
                                 "Clock=1\r\nBaud=4800\r\n");
  ASSERT_EQ(StartUp(t.session, t.dir.Path()), StartupStatus::Ok);
  EXPECT_EQ(t.state().deviceNames, (std::vector<std::string>{"DEMO_CHIP", "ZED"}));
  // Incomplete sections go silently; an unsafe complete one is named with its reason.
  ASSERT_EQ(t.ui.logLines.size(), 1u);
  EXPECT_NE(t.ui.logLines[0].find("[TOO_BIG]"), std::string::npos);
  EXPECT_TRUE(t.ui.boxes.empty());

  // The two-region example, and the crystal list.
  const auto& r = t.state().regionTexts;
  EXPECT_EQ(r[0], "00000000H");
  EXPECT_EQ(r[1], "000FFFFFH");
  EXPECT_EQ(r[2], "00100000H");
  EXPECT_EQ(r[3], "00100000H");
  EXPECT_EQ(r[4], "00100FFFH");
  EXPECT_EQ(r[5], "00001000H");
  EXPECT_EQ(r[6], "");
  EXPECT_EQ(t.state().regionCount, 2);
  EXPECT_EQ(t.state().loadAddress, 0x1000u);
  EXPECT_EQ(t.state().crystalTexts, (std::vector<std::string>{"4MHz", "8MHz"}));
  // Nothing downloaded yet: the first command talks at the boot rate.
  EXPECT_EQ(t.state().linkBaud, 9600);
  EXPECT_FALSE(t.state().controlProgramRunning);
  EXPECT_EQ(t.ui.groupCaption, "Command  to  COM1");
}

TEST(Startup, FailuresShowTheirBoxAndEndTheProgram) {
  struct Case {
    const char* catalogue;  // nullptr: no file at all
    StartupStatus status;
  } cases[] = {
      {nullptr, StartupStatus::RegistFailed},
      {"", StartupStatus::RegistFailed},
      {"[x]\r\nDownloadFile=a\r\n", StartupStatus::RegistFailed},
  };
  for (const auto& c : cases) {
    TestSession t;
    if (c.catalogue) t.dir.Write("CHIPDEF.INI", c.catalogue);
    EXPECT_EQ(StartUp(t.session, t.dir.Path()), c.status);
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text, "REGIST FAILED!");
    EXPECT_EQ(t.ui.boxes[0].caption, "flash");
    EXPECT_EQ(t.ui.boxes[0].icon, BoxIcon::Stop);
  }
  TestSession t;
  EXPECT_EQ(StartUp(t.session, ""), StartupStatus::PathTooLong);
  EXPECT_EQ(t.ui.boxes.at(0).text, "PATH TOO LONG error");
}

TEST(Startup, RememberedIndexesAreBroughtIntoRange) {
  TestSession t;
  t.dir.Write("CHIPDEF.INI", test::kTwoRegionCatalogue);
  t.dir.Write("DATAFILE.TXT", "[Recent]\r\nCPU=5\r\nRATE=9\r\nWrite File=/projects/x/app.mhx\r\n");
  ASSERT_EQ(StartUp(t.session, t.dir.Path()), StartupStatus::Ok);
  EXPECT_EQ(t.state().deviceIndex, 0);
  EXPECT_EQ(t.state().crystalIndex, 1);  // the last clock entry
  EXPECT_EQ(t.state().hexFilePath, "/projects/x/app.mhx");
  EXPECT_EQ(t.state().hexFileName, "app.mhx");
  EXPECT_EQ(t.ui.hexTooltip, "/projects/x/app.mhx");
  EXPECT_EQ(t.state().linkBaud, 19200);
}

TEST(Startup, CommandLineRunsUnattended) {
  TestSession t({"/projects/app.mhx", "com3", "no_dialog"});
  t.dir.Write("CHIPDEF.INI", test::kTwoRegionCatalogue);
  t.dir.Write("Customize.ini", "[Com]\r\nCom=7\r\n");
  t.dir.Write("DATAFILE.TXT", "[Recent]\r\nWrite File=/projects/remembered.mhx\r\n");
  ASSERT_EQ(StartUp(t.session, t.dir.Path()), StartupStatus::Ok);
  EXPECT_EQ(t.state().hexFilePath, AbsolutePath("/projects/app.mhx"));  // Z:\projects\ under Wine
  EXPECT_EQ(t.state().settings.comPortIndex, 2);
  EXPECT_FALSE(t.state().showDialogs);
  EXPECT_EQ(t.ui.groupCaption, "Command  to  COM3");
  // The remembered file is not overwritten by start-up.
  EXPECT_NE(t.dir.Read("DATAFILE.TXT").find("remembered"), std::string::npos);
}

TEST(Startup, SpecialPartsMayEraseBeforeDownload) {
  TestSession t;
  t.dir.Write("CHIPDEF.INI",
              "[TR7C0440]\r\nDownloadFile=a\r\nLoadAddress=0\r\nStartAddress=0\r\n"
              "EndAddress=FFF\r\nFlashSize=1\r\nClock=1\r\nBaud=4800\r\n");
  ASSERT_EQ(StartUp(t.session, t.dir.Path()), StartupStatus::Ok);
  EXPECT_TRUE(CommandButtonEnabled(t.state(), id::kErase));
  EXPECT_FALSE(CommandButtonEnabled(t.state(), id::kBlankCheck));
  EXPECT_TRUE(CommandButtonEnabled(t.state(), id::kDownload));
  t.state().deviceNames[0] = "tr7c0440";  // the comparison is exact
  EXPECT_FALSE(CommandButtonEnabled(t.state(), id::kErase));
}

}  // namespace
}  // namespace flash
