// Which file of the station or the program directory the program reads or
// writes. How the station directory is chosen is tested in
// PosixStationDirectoryTest.cpp.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "base/SessionState.h"
#include "base/Settings.h"
#include "support/TempDir.h"

namespace flash {
namespace {

using test::TempDir;

// The files the program reads but never writes: the station's first.
class DataFilePathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state.programDir = program.Path();
    state.stationDir = station.Path();
  }
  TempDir program;
  TempDir station;
  SessionState state;
};

TEST_F(DataFilePathTest, TheStationsCopyComesFirstThenTheProgramsThenTheProgramsName) {
  EXPECT_EQ(DataFilePath(state, "CHIPDEF.INI"), program.File("CHIPDEF.INI"));
  program.Write("CHIPDEF.INI", "x");
  EXPECT_EQ(DataFilePath(state, "CHIPDEF.INI"), program.File("CHIPDEF.INI"));
  station.Write("CHIPDEF.INI", "y");
  EXPECT_EQ(DataFilePath(state, "CHIPDEF.INI"), station.File("CHIPDEF.INI"));
  // A directory under the name is no file to read.
  ASSERT_TRUE(std::filesystem::create_directory(station.File("DEMOA.CP")));
  program.Write("DEMOA.CP", "x");
  EXPECT_EQ(DataFilePath(state, "DEMOA.CP"), program.File("DEMOA.CP"));
}

TEST_F(DataFilePathTest, AVariantIsPreferredWithinEachDirectory) {
  program.Write("DEMOA.CP", "x");
  program.Write("DEMOA.CP-8MHz", "x");
  EXPECT_EQ(DataFilePath(state, "DEMOA.CP", "-8MHz"), program.File("DEMOA.CP-8MHz"));
  // The station's plain file wins over the program's variant: the user put it there.
  station.Write("DEMOA.CP", "y");
  EXPECT_EQ(DataFilePath(state, "DEMOA.CP", "-8MHz"), station.File("DEMOA.CP"));
  station.Write("DEMOA.CP-8MHz", "y");
  EXPECT_EQ(DataFilePath(state, "DEMOA.CP", "-8MHz"), station.File("DEMOA.CP-8MHz"));
}

TEST_F(DataFilePathTest, AnAbsoluteNameIsLookedUpOnlyWhereItPoints) {
  TempDir elsewhere;
  station.Write("cp.bin", "y");
  EXPECT_EQ(DataFilePath(state, elsewhere.File("cp.bin"), "-4MHz"), elsewhere.File("cp.bin"));
  elsewhere.Write("cp.bin-4MHz", "z");
  EXPECT_EQ(DataFilePath(state, elsewhere.File("cp.bin"), "-4MHz"), elsewhere.File("cp.bin-4MHz"));
}

TEST(StationFile, IsInTheStationDirectoryOrTheProgramsWhenNoneWasChosen) {
  SessionState state;
  state.programDir = "/opt/p/";
  EXPECT_EQ(StationFile(state, "MESSFILE.TXT"), "/opt/p/MESSFILE.TXT");
  state.stationDir = "/home/u/.config/p/";
  EXPECT_EQ(StationFile(state, "MESSFILE.TXT"), "/home/u/.config/p/MESSFILE.TXT");
  EXPECT_EQ(StationFile(state, ""), "/home/u/.config/p/");
}

}  // namespace
}  // namespace flash
