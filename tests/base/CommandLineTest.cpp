#include "base/CommandLine.h"

#include <gtest/gtest.h>

namespace flash {
namespace {

TEST(CommandLine, FirstArgumentIsAlwaysTheHexFile) {
  CommandLine c({"no_dialog"});
  EXPECT_TRUE(c.BatchMode());
  EXPECT_EQ(c.HexFile(), "no_dialog");
  EXPECT_FALSE(c.NoDialog());  // only arguments 2 and later are keywords
  EXPECT_FALSE(c.PortIndex().has_value());  // one argument: Customize.ini decides
}

TEST(CommandLine, PortFromArgumentTwoOrThree) {
  EXPECT_EQ(CommandLine({"a.mhx", "com3", "no_dialog"}).PortIndex(), 2);
  EXPECT_EQ(CommandLine({"a.mhx", "no_dialog", "COM64"}).PortIndex(), 63);
  EXPECT_EQ(CommandLine({"a.mhx", "no_dialog", "reset", "com5"}).PortIndex(), 0);
  EXPECT_EQ(CommandLine({"a.mhx", "com65"}).PortIndex(), 0);
  // The first of com1..com64 in that order wins, whichever argument names it.
  EXPECT_EQ(CommandLine({"a.mhx", "com9", "com2"}).PortIndex(), 1);
}

TEST(CommandLine, NoDialogAnywhereAfterTheFile) {
  EXPECT_TRUE(CommandLine({"a.mhx", "com1", "reset", "No_Dialog"}).NoDialog());
  EXPECT_FALSE(CommandLine().BatchMode());
}

TEST(CommandLine, FirstResetKeywordDecidesAndSilenceMeansPrompt) {
  EXPECT_TRUE(CommandLine().ResetPrompt());
  EXPECT_TRUE(CommandLine({"a.mhx"}).ResetPrompt());
  EXPECT_TRUE(CommandLine({"a.mhx", "reset"}).ResetPrompt());
  EXPECT_FALSE(CommandLine({"a.mhx", "no_dialog", "NO_RESET"}).ResetPrompt());
  EXPECT_FALSE(CommandLine({"a.mhx", "no_reset", "reset"}).ResetPrompt());
  EXPECT_TRUE(CommandLine({"a.mhx", "com3", "no_dialog"}).ResetPrompt());
  // Argument 1 is the file even when it reads like a keyword.
  EXPECT_TRUE(CommandLine({"no_reset"}).ResetPrompt());
}

}  // namespace
}  // namespace flash
