// Names with a blank and letters beyond ASCII, as users give them: every
// file service of the core takes them as UTF-8 and makes exactly that name,
// on Windows as on POSIX.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "base/FileUtil.h"
#include "base/OutputFile.h"
#include "diag/ProductionLog.h"
#include "diag/SerialCounter.h"
#include "image/HexLoader.h"
#include "image/HexTestUtil.h"
#include "support/TempDir.h"
#include "support/TestSession.h"

namespace flash::test {
namespace {

// "dir é" and "Прошивка 1.mhx", spelt in UTF-8 bytes so that no compiler's
// idea of the source's encoding can change them.
constexpr char kDirName[] = "dir \xC3\xA9";
constexpr char kFileName[] =
    "\xD0\x9F\xD1\x80\xD0\xBE\xD1\x88\xD0\xB8\xD0\xB2\xD0\xBA\xD0\xB0 1.mhx";

// A UTF-8 name as a path the standard library reads as UTF-8 everywhere
// (a narrow string is read in the ANSI code page on Windows).
std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The names in dir as the system lists them, in UTF-8: what a file call
// really made, whatever the core itself believes.
std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(Utf8Path(dir))) {
    const std::u8string name = e.path().filename().u8string();
    names.emplace(name.begin(), name.end());
  }
  return names;
}

// The whole file through InputFile; "<unopened>" when it does not open.
std::string ReadBack(const std::string& path) {
  InputFile in;
  if (!in.Open(path)) return "<unopened>";
  std::string data;
  char buffer[4096];
  for (long long n; (n = in.Read(buffer, sizeof buffer)) > 0;)
    data.append(buffer, static_cast<std::size_t>(n));
  return data;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// A directory "dir é" in a fresh temporary directory, and the file name
// "Прошивка 1.mhx" in it.
class WidePath : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::create_directory(Utf8Path(dir_)));
  }

  TempDir temp_;
  const std::string dir_ = temp_.Path() + kDirName;
  const std::string file_ = dir_ + "/" + kFileName;
};

TEST_F(WidePath, ReplacedFilesReadBackByteForByteUnderTheirOwnName) {
  // A line end, a NUL and bytes that are no text: nothing may translate them.
  constexpr char kBytes[] = "first\r\n\0\xFF\xD0\x9F end";
  const std::string first(kBytes, sizeof kBytes - 1);
  std::string why;
  ASSERT_TRUE(ReplaceFileAtomically(file_, first, &why)) << why;
  EXPECT_EQ(Names(temp_.Path()), std::set<std::string>{kDirName});
  EXPECT_EQ(Names(dir_), std::set<std::string>{kFileName});
  EXPECT_EQ(ReadBack(file_), first);

  ASSERT_TRUE(ReplaceFileAtomically(file_, "second", &why)) << why;
  EXPECT_EQ(ReadBack(file_), "second");
  EXPECT_EQ(Names(dir_), std::set<std::string>{kFileName});

  ASSERT_TRUE(RewriteFileInPlace(file_, "third", &why)) << why;
  EXPECT_EQ(ReadBack(file_), "third");
}

TEST_F(WidePath, TheFileQueriesAgreeOnFileAndDirectory) {
  ASSERT_TRUE(ReplaceFileAtomically(file_, "x"));
  EXPECT_TRUE(FileExists(file_));
  EXPECT_TRUE(IsRegularFile(file_));
  EXPECT_FALSE(IsDirectory(file_));
  EXPECT_FALSE(NotPlainFile(file_).has_value());
  EXPECT_TRUE(FileExists(dir_));
  EXPECT_FALSE(IsRegularFile(dir_));
  EXPECT_TRUE(IsDirectory(dir_));
  EXPECT_TRUE(DirectoryWritable(dir_ + "/"));
  EXPECT_TRUE(IsRegularFile(AbsolutePath(file_)));
  FileIdentity id;
  ASSERT_TRUE(RegularFileIdentity(file_, &id));
  EXPECT_EQ(id.size, 1u);

  const std::string missing = dir_ + "/" + "\xD0\x9F 2.mhx";
  EXPECT_FALSE(FileExists(missing));
  EXPECT_FALSE(IsRegularFile(missing));
  EXPECT_EQ(ReadBack(missing), "<unopened>");
}

TEST_F(WidePath, OutputFileCommitsUnderTheNameAndLeavesNoTemporary) {
  {
    OutputFile out(file_);
    ASSERT_TRUE(out.Ok()) << out.ErrorText();
    ASSERT_TRUE(out.Write("S0030000FC\n"));
    ASSERT_TRUE(out.Commit()) << out.ErrorText();
  }
  EXPECT_EQ(Names(dir_), std::set<std::string>{kFileName});
  EXPECT_EQ(ReadBack(file_), "S0030000FC\n");
  {
    OutputFile abandoned(dir_ + "/" + "\xC3\xA9 gone.mhx");
    ASSERT_TRUE(abandoned.Write("never"));
  }
  EXPECT_EQ(Names(dir_), std::set<std::string>{kFileName});
}

TEST_F(WidePath, AppendingAddsToTheEndOfTheFile) {
  ASSERT_TRUE(ReplaceFileAtomically(file_, "first\n"));
  {
    const std::unique_ptr<std::FILE, FileCloser> f(OpenForAppending(file_));
    ASSERT_TRUE(f);
    ASSERT_GE(std::fputs("second\n", f.get()), 0);
  }
  std::string error;
  ASSERT_TRUE(AppendLogRecord(file_, "{\"third\":1}\n", error)) << error;
  EXPECT_EQ(ReadBack(file_), "first\nsecond\n{\"third\":1}\n");
  EXPECT_EQ(Names(dir_), std::set<std::string>{kFileName});
}

TEST_F(WidePath, TheSerialCounterLocksUnderSuchAName) {
  const std::string lock = dir_ + "/" + "\xD0\x9F SERIAL.lock";
  std::string error;
  bool ran = false;
  ASSERT_TRUE(WithExclusiveLock(lock, [&] { return ran = true; }, error)) << error;
  EXPECT_TRUE(ran);
  EXPECT_EQ(Names(dir_), std::set<std::string>{"\xD0\x9F SERIAL.lock"});
}

TEST_F(WidePath, AHexFileUnderSuchANameLoads) {
  TestSession t;
  SessionState& st = t.state();
  st.regionCount = 1;
  st.regionStarts[0] = 0x00000000;
  st.regionEnds[0] = 0x000FFFFF;
  st.image.SetBase(0);
  ASSERT_TRUE(ReplaceFileAtomically(file_, SLine(1, 0x10, {0x12, 0x34}) + "\n"));
  st.hexFilePath = file_;
  ASSERT_TRUE(LoadHexFile(t.session, false, 0xFF));
  EXPECT_EQ(st.image.At(0x10), 0x12);
  EXPECT_EQ(st.image.At(0x11), 0x34);
  EXPECT_TRUE(t.ui.boxes.empty());
}

}  // namespace
}  // namespace flash::test
