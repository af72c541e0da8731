#include "base/Profile.h"

#include <gtest/gtest.h>

#include "base/ProfileTestUtil.h"
#include "support/TempDir.h"

namespace flash {
namespace {

using test::Age;
using test::TempDir;

TEST(Profile, ReadsAsThePlatformReaderDoes) {
  TempDir dir;
  dir.Write("a.ini",
            "; comment\r\n"
            "[First]\r\n"
            "  Key =  value with blanks  \r\n"
            "Quoted=\"in quotes\"\r\n"
            "Empty=\r\n"
            "[second]\n"
            "key=other\n"
            "[FIRST]\n"
            "Key=shadowed\n");
  const std::string p = dir.File("a.ini");
  EXPECT_EQ(profile::SectionNames(p), (std::vector<std::string>{"First", "second"}));
  EXPECT_EQ(profile::GetString(p, "first", "KEY", "def"), "value with blanks");
  EXPECT_EQ(profile::GetString(p, "First", "Quoted", "def"), "in quotes");
  EXPECT_EQ(profile::GetString(p, "First", "Empty", "def"), "");
  EXPECT_EQ(profile::GetString(p, "First", "Missing", "def"), "def");
  EXPECT_EQ(profile::GetString(p, "Nowhere", "Key", "def"), "def");
  EXPECT_EQ(profile::GetString(p, "SECOND", "key", "def"), "other");
  EXPECT_EQ(profile::GetString(dir.File("missing.ini"), "First", "Key", "def"), "def");
  // Cut to the caller's buffer.
  EXPECT_EQ(profile::GetString(p, "First", "Key", "def", 5), "value");
  EXPECT_EQ(profile::GetString(p, "First", "Missing", "default", 3), "def");
}

TEST(Profile, IntegersAsThePlatformReadsThem) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"42", 42},       {"-7", -7},        {"+5", 5},        {"0x1F", 31}, {"0X10", 16},
      {"12abc", 12},    {"abc", 0},        {"", 0},          {"  9", 9},   {"0x", 0},
      {"4294967295", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(profile::ParseProfileInt(c.text), c.value) << c.text;

  TempDir dir;
  dir.Write("a.ini", "[S]\nN=17\nBad=x\n");
  EXPECT_EQ(profile::GetInt(dir.File("a.ini"), "s", "n", 3), 17);
  EXPECT_EQ(profile::GetInt(dir.File("a.ini"), "S", "Bad", 3), 0);
  EXPECT_EQ(profile::GetInt(dir.File("a.ini"), "S", "Gone", 3), 3);
}

TEST(Profile, WriteCreatesFileAndSectionWithCrLf) {
  TempDir dir;
  const std::string p = dir.File("new.ini");
  ASSERT_TRUE(profile::WriteString(p, "Recent", "CPU", "1"));
  ASSERT_TRUE(profile::WriteString(p, "Recent", "RATE", "0"));
  ASSERT_TRUE(profile::WriteString(p, "Com", "Com", "2"));
  EXPECT_EQ(dir.Read("new.ini"), "[Recent]\r\nCPU=1\r\nRATE=0\r\n[Com]\r\nCom=2\r\n");
}

TEST(Profile, WriteTouchesOneLineOnly) {
  TempDir dir;
  const std::string original =
      "; settings\n"
      "[Sound]\n"
      "Sound = 1\n"
      "ErrorPass=C:\\x.wav\n"
      "\n"
      "[Tool]\n"
      "ToolTips=0\n";
  dir.Write("c.ini", original);
  const std::string p = dir.File("c.ini");
  ASSERT_TRUE(profile::WriteString(p, "sound", "SOUND", "0"));
  ASSERT_TRUE(profile::WriteString(p, "Sound", "EndPass", "<none>"));
  ASSERT_TRUE(profile::WriteString(p, "Tool", "ToolTips", "1"));
  EXPECT_EQ(dir.Read("c.ini"),
            "; settings\n"
            "[Sound]\n"
            "Sound=0\n"
            "ErrorPass=C:\\x.wav\n"
            "EndPass=<none>\n"
            "\n"
            "[Tool]\n"
            "ToolTips=1\n");
}

TEST(Profile, WriteAfterAnUnterminatedLastLine) {
  TempDir dir;
  dir.Write("u.ini", "[A]\r\nX=1");
  ASSERT_TRUE(profile::WriteString(dir.File("u.ini"), "A", "Y", "2"));
  EXPECT_EQ(dir.Read("u.ini"), "[A]\r\nX=1\r\nY=2\r\n");
  ASSERT_TRUE(profile::WriteString(dir.File("u.ini"), "B", "Z", "3"));
  EXPECT_EQ(dir.Read("u.ini"), "[A]\r\nX=1\r\nY=2\r\n[B]\r\nZ=3\r\n");
}

TEST(Profile, FailedWriteLeavesTheFileAsItWas) {
  TempDir dir;
  dir.Write("keep.ini", "[A]\nX=1\n");
  // A directory where the file should be cannot be replaced by a file.
  EXPECT_FALSE(profile::WriteString(dir.Path() + "no/such/dir/x.ini", "A", "X", "2"));
  EXPECT_EQ(dir.Read("keep.ini"), "[A]\nX=1\n");
}

TEST(ProfileCache, ParsesOnceWhileTheFileIsUnchanged) {
  TempDir dir;
  const std::string p = dir.File("c.ini");
  dir.Write("c.ini", "[A]\r\nX=1\r\n");
  Age(p, 60);
  profile::Cache cache;
  auto first = cache.Index(p);
  ASSERT_TRUE(first);
  EXPECT_EQ(cache.Index(p), first);  // the same parse, not a new one
  EXPECT_EQ(cache.GetInt(p, "a", "x", 0), 1);
}

TEST(ProfileCache, AWriteRenewsTheIndex) {
  TempDir dir;
  const std::string p = dir.File("w.ini");
  dir.Write("w.ini", "[A]\nX=1\n");
  Age(p, 60);
  profile::Cache cache;
  EXPECT_EQ(cache.GetInt(p, "A", "X", 0), 1);
  ASSERT_TRUE(cache.WriteString(p, "A", "X", "5"));
  ASSERT_TRUE(cache.WriteString(p, "B", "Y", "six"));
  EXPECT_EQ(cache.GetInt(p, "A", "X", 0), 5);
  EXPECT_EQ(cache.GetString(p, "b", "y", ""), "six");
  EXPECT_EQ(dir.Read("w.ini"), "[A]\nX=5\n[B]\nY=six\n");
}

// A value with a line break would plant a key of its own in the file.
TEST(Profile, ALineBreakInAValueIsRefused) {
  TempDir dir;
  const std::string p = dir.File("DATAFILE.TXT");
  dir.Write("DATAFILE.TXT", "[Recent]\r\nRATE=0\r\nWrite File=x\r\n");
  profile::Cache cache;
  EXPECT_FALSE(cache.WriteString(p, "Recent", "Write File", "a.hex\nRATE=1"));
  EXPECT_FALSE(profile::WriteString(p, "Recent", "Write File", "a.hex\rRATE=1"));
  EXPECT_FALSE(profile::WriteString(p, "Re\ncent", "K", "v"));
  EXPECT_EQ(dir.Read("DATAFILE.TXT"), "[Recent]\r\nRATE=0\r\nWrite File=x\r\n");
  EXPECT_EQ(cache.GetInt(p, "Recent", "RATE", 9), 0);
}

}  // namespace
}  // namespace flash
