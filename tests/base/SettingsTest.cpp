#include "base/Settings.h"

#include <gtest/gtest.h>

#include "app/Startup.h"
#include "app/WindowCommands.h"
#include "base/FileUtil.h"
#include "support/TestSession.h"

namespace flash {
namespace {

using test::TestSession;

TEST(Settings, DefaultsWithoutAnyFile) {
  TestSession t;
  t.dir.Write("CHIPDEF.INI", test::kTwoRegionCatalogue);
  ASSERT_EQ(StartUp(t.session, t.dir.Path()), StartupStatus::Ok);
  const UserSettings& u = t.state().settings;
  EXPECT_EQ(u.comPortIndex, 0);
  EXPECT_EQ(u.soundEnabled, 0);
  EXPECT_EQ(u.errorFile, "<none>");
  EXPECT_EQ(u.endFile, "<none>");
  EXPECT_EQ(u.toolTipsEnabled, 0);
  EXPECT_EQ(t.ui.groupCaption, "Command  to  COM1");
  EXPECT_EQ(t.state().deviceIndex, 0);
  EXPECT_EQ(t.state().crystalIndex, 0);
  EXPECT_EQ(t.state().hexFilePath, "");
  EXPECT_FALSE(t.dir.Exists("Customize.ini"));  // reading writes nothing
  EXPECT_FALSE(t.dir.Exists("DATAFILE.TXT"));
}

TEST(Settings, CustomizeValuesAsStored) {
  TestSession t;
  t.dir.Write("Customize.ini",
              "[Com]\r\nCom=257\r\n[Sound]\r\nSound=1\r\nErrorEnable=1\r\nErrorType=1\r\n"
              "ErrorPass=C:\\ERR.WAV\r\nEndEnable=2\r\nEndType=0\r\n[Tool]\r\nToolTips=1\r\n");
  LoadUserSettings(t.session);
  const UserSettings& u = t.state().settings;
  EXPECT_EQ(u.comPortIndex, 1);  // reduced modulo 256
  EXPECT_EQ(u.soundEnabled, 1);
  EXPECT_EQ(u.errorType, 1);
  EXPECT_EQ(u.errorFile, "C:\\ERR.WAV");
  EXPECT_EQ(u.endEnable, 2);
  EXPECT_EQ(u.endFile, "<none>");
  EXPECT_EQ(u.toolTipsEnabled, 1);
  EXPECT_EQ(t.ui.groupCaption, "Command  to  COM2");

  t.dir.Write("Customize.ini", "[Com]\r\nCom=\r\n");
  LoadUserSettings(t.session);
  EXPECT_EQ(t.state().settings.comPortIndex, 0);  // empty reads as COM1
}

TEST(Settings, ComCommandWritesTheIndex) {
  TestSession t;
  t.dir.Write("CHIPDEF.INI", test::kTwoRegionCatalogue);
  ASSERT_EQ(StartUp(t.session, t.dir.Path()), StartupStatus::Ok);
  t.state().controlProgramRunning = true;
  OnSelectComPort(t.session, 2);
  EXPECT_EQ(t.dir.Read("Customize.ini"), "[Com]\r\nCom=2\r\n");
  EXPECT_EQ(t.state().settings.comPortIndex, 2);
  EXPECT_EQ(t.ui.groupCaption, "Command  to  COM3");
  EXPECT_FALSE(t.state().controlProgramRunning);
}

TEST(Settings, CommandLinePortIsNeitherReadNorWritten) {
  TestSession t({"file.mhx", "com5", "no_dialog"});
  t.dir.Write("Customize.ini", "[Com]\r\nCom=1\r\n");
  LoadUserSettings(t.session);
  EXPECT_EQ(t.state().settings.comPortIndex, 4);
  EXPECT_EQ(t.dir.Read("Customize.ini"), "[Com]\r\nCom=1\r\n");
}

TEST(Settings, RecentChoicesSavedOnSelection) {
  TestSession t;
  t.dir.Write("CHIPDEF.INI", std::string(test::kTwoRegionCatalogue) +
                                 "[ONECLOCK]\r\nDownloadFile=a\r\nLoadAddress=0\r\n"
                                 "StartAddress=0\r\nEndAddress=FFF\r\nFlashSize=1\r\n"
                                 "Clock=10MHz\r\nBaud=4800\r\n");
  t.dir.Write("DATAFILE.TXT", "[Recent]\r\nCPU=7\r\nRATE=1\r\nWrite File=/x/a.hex\r\n");
  ASSERT_EQ(StartUp(t.session, t.dir.Path()), StartupStatus::Ok);
  EXPECT_EQ(t.state().deviceIndex, 0);
  t.state().controlProgramRunning = true;
  OnTargetSelected(t.session, 1);
  // Written before the new clock list clamped the crystal index; CPU written back in range.
  EXPECT_EQ(t.dir.Read("DATAFILE.TXT"), "[Recent]\r\nCPU=1\r\nRATE=1\r\nWrite File=/x/a.hex\r\n");
  EXPECT_EQ(t.state().crystalIndex, 0);
  EXPECT_EQ(t.state().regionTexts[0], "00000000H");
  EXPECT_EQ(t.state().regionTexts[1], "00000FFFH");
  EXPECT_EQ(t.state().regionTexts[3], "");  // region 2 display cleared
  EXPECT_FALSE(t.state().controlProgramRunning);
  EXPECT_EQ(t.state().linkBaud, 4800);

  OnTargetSelected(t.session, 0);
  t.state().controlProgramRunning = true;
  OnCrystalSelected(t.session, 1);
  EXPECT_EQ(t.dir.Read("DATAFILE.TXT"), "[Recent]\r\nCPU=0\r\nRATE=1\r\nWrite File=/x/a.hex\r\n");
  EXPECT_FALSE(t.state().controlProgramRunning);
  EXPECT_EQ(t.state().linkBaud, 19200);
}

TEST(Settings, OpenAndDropChooseTheHexFile) {
  TestSession t;
  t.dir.Write("CHIPDEF.INI", test::kTwoRegionCatalogue);
  ASSERT_EQ(StartUp(t.session, t.dir.Path()), StartupStatus::Ok);
  t.dir.Write("one.mhx", "S9");
  t.dir.Write("two.hex", ":");

  // Cancelled dialog: the file stays, the recent values are written anyway.
  OnOpenHexFile(t.session);
  EXPECT_EQ(t.state().hexFilePath, "");
  EXPECT_TRUE(t.dir.Exists("DATAFILE.TXT"));
  EXPECT_EQ(t.ui.fileDialogs.at(0).filter,
            "S format files (*.mhx;*.srec;*.cnv;*.ahx)|*.mhx;*.srec;*.cnv;*.ahx|Intel Hex "
            "files (*.hex)|*.hex|all files (*.*)|*.*||");

  t.ui.openAnswer = t.dir.File("one.mhx");
  OnOpenHexFile(t.session);
  EXPECT_EQ(t.state().hexFileName, "one.mhx");
  t.ui.openAnswer.reset();
  OnOpenHexFile(t.session);
  EXPECT_EQ(t.ui.fileDialogs.at(2).initialDirectory, t.dir.Path());

  // Drop: the first file wins; a folder changes nothing.
  EXPECT_TRUE(OnDropFiles(t.session, {t.dir.File("two.hex"), t.dir.File("one.mhx"), "/nope"}));
  EXPECT_EQ(t.state().hexFileName, "two.hex");
  EXPECT_FALSE(OnDropFiles(t.session, {t.dir.Path()}));
  EXPECT_FALSE(OnDropFiles(t.session, {t.dir.File("missing.hex")}));
  EXPECT_EQ(t.state().hexFileName, "two.hex");
  EXPECT_NE(t.dir.Read("DATAFILE.TXT").find("Write File=" + AbsolutePath(t.dir.File("two.hex"))),
            std::string::npos);
}

TEST(Settings, VersionText) {
  EXPECT_EQ(VersionText(3, 2, 0, 417, false), "V02,L04");
  EXPECT_EQ(VersionText(3, 2, 0, 417, true), "V02,L04 b17");
  EXPECT_EQ(VersionText(1, 1, 0, 100, false), "V01,L01");
}

}  // namespace
}  // namespace flash
