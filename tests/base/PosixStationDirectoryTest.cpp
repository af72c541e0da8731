// Where an installed program keeps its files: its own directory while it may
// write there, else the user's station directory, from the environment. The
// read-only program directory is one by mode bits, as another user sees it.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "base/FileUtil.h"
#include "support/OtherUser.h"
#include "support/TempDir.h"

namespace flash {
namespace {

using test::InChildAsOtherUser;
using test::TempDir;

struct Env {
  const char* xdg;   // nullptr: unset
  const char* home;  // nullptr: unset
};

// StationDirectory(programDir) as the other user sees it, with this environment.
std::string StationAsOtherUser(const std::string& programDir, Env env) {
  return InChildAsOtherUser([&] {
    env.xdg ? setenv("XDG_CONFIG_HOME", env.xdg, 1) : unsetenv("XDG_CONFIG_HOME");
    env.home ? setenv("HOME", env.home, 1) : unsetenv("HOME");
    return StationDirectory(programDir);
  });
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class StationDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ReadOnlyForOtherUser(program.Path());
    test::WritableForOtherUser(user.Path());
  }
  TempDir program;  // the installed program's directory
  TempDir user;     // the user's home
  std::string Name() const { return StationName(); }
};

TEST_F(StationDirectoryTest, AWritableProgramDirectoryIsTheStationAndNothingIsMade) {
  test::WritableForOtherUser(program.Path());
  const std::string xdg = user.File("xdg");
  EXPECT_EQ(StationAsOtherUser(program.Path(), {xdg.c_str(), user.Path().c_str()}), program.Path());
  EXPECT_FALSE(user.Exists("xdg"));
  EXPECT_FALSE(user.Exists(".config"));
}

TEST_F(StationDirectoryTest, AReadOnlyProgramDirectoryUsesXdgConfigHomeMadePrivate) {
  const std::string xdg = user.File("xdg/deeper");
  const std::string expected = xdg + "/" + Name() + "/";
  EXPECT_EQ(StationAsOtherUser(program.Path(), {xdg.c_str(), user.Path().c_str()}), expected);
  EXPECT_EQ(ModeOf(expected), 0700u);
  EXPECT_EQ(ModeOf(xdg), 0700u);
  EXPECT_FALSE(user.Exists(".config"));
  // Made once, found again.
  EXPECT_EQ(StationAsOtherUser(program.Path(), {xdg.c_str(), user.Path().c_str()}), expected);
}

TEST_F(StationDirectoryTest, WithoutXdgConfigHomeItIsDotConfigInHome) {
  const std::string expected = user.Path() + ".config/" + Name() + "/";
  EXPECT_EQ(StationAsOtherUser(program.Path(), {nullptr, user.Path().c_str()}), expected);
  EXPECT_EQ(ModeOf(expected), 0700u);
  // An empty or relative XDG_CONFIG_HOME is no base directory.
  EXPECT_EQ(StationAsOtherUser(program.Path(), {"", user.Path().c_str()}), expected);
  EXPECT_EQ(StationAsOtherUser(program.Path(), {"relative/xdg", user.Path().c_str()}), expected);
}

TEST_F(StationDirectoryTest, WithNowhereToGoItStaysWithTheProgramDirectory) {
  EXPECT_EQ(StationAsOtherUser(program.Path(), {nullptr, nullptr}), program.Path());
  // A station that cannot be made (its parent is a file): the writes then
  // fail in the program's directory and say why.
  user.Write("file", "");
  const std::string underFile = user.File("file");
  EXPECT_EQ(StationAsOtherUser(program.Path(), {underFile.c_str(), nullptr}), program.Path());
}

}  // namespace
}  // namespace flash
