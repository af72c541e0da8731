// The output and input files on POSIX: a file with no name until it is
// committed (O_TMPFILE), modes, symbolic links and FIFOs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "base/FileUtil.h"
#include "base/OutputFile.h"
#include "support/TempDir.h"

namespace flash::test {
namespace {

std::set<std::string> Names(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    names.insert(e.path().filename().string());
  return names;
}

TEST(OutputFile, HasNoNameInTheDirectoryUntilCommitted) {
  TempDir dir;
  dir.Write("out.mhx", "old\n");
  {
    OutputFile out(dir.File("out.mhx"));
    ASSERT_TRUE(out.Ok()) << out.ErrorText();
    ASSERT_TRUE(out.Write(std::string(200000, 'S')));  // past the buffer: bytes reach the disk
    EXPECT_EQ(Names(dir), std::set<std::string>{"out.mhx"});
    EXPECT_EQ(dir.Read("out.mhx"), "old\n");
    ASSERT_TRUE(out.Commit()) << out.ErrorText();
  }
  EXPECT_EQ(Names(dir), std::set<std::string>{"out.mhx"});
  EXPECT_EQ(dir.Read("out.mhx").size(), 200000u);

  // A new name, and one abandoned half way.
  {
    OutputFile out(dir.File("new.hex"));
    ASSERT_TRUE(out.Write("line\n"));
    ASSERT_TRUE(out.Commit());
  }
  {
    OutputFile out(dir.File("gone.hex"));
    ASSERT_TRUE(out.Write(std::string(100000, 'x')));
  }
  EXPECT_EQ(Names(dir), (std::set<std::string>{"new.hex", "out.mhx"}));
  EXPECT_EQ(dir.Read("new.hex"), "line\n");
}

TEST(ReplaceFileAtomically, KeepsModeAndWritesThroughALink) {
  TempDir dir;
  dir.Write("Customize.ini", "[Com]\r\nCom=0\r\n");
  ASSERT_EQ(chmod(dir.File("Customize.ini").c_str(), 0600), 0);
  ASSERT_EQ(symlink(dir.File("Customize.ini").c_str(), dir.File("link.ini").c_str()), 0);
  ASSERT_TRUE(ReplaceFileAtomically(dir.File("link.ini"), "[Com]\r\nCom=2\r\n"));
  EXPECT_EQ(dir.Read("Customize.ini"), "[Com]\r\nCom=2\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
  struct stat st {};
  ASSERT_EQ(stat(dir.File("Customize.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(Names(dir), (std::set<std::string>{"Customize.ini", "link.ini"}));

  std::string why;
  EXPECT_FALSE(ReplaceFileAtomically(dir.File("none/x.ini"), "x", &why));
  EXPECT_FALSE(why.empty());
}

TEST(RewriteFileInPlace, OnlyARegularFile) {
  TempDir dir;
  dir.Write("MESSFILE.TXT", "OK");
  ASSERT_TRUE(RewriteFileInPlace(dir.File("MESSFILE.TXT"), "NG\r\n"));
  EXPECT_EQ(dir.Read("MESSFILE.TXT"), "NG\r\n");
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  std::string why;
  EXPECT_FALSE(RewriteFileInPlace(dir.File("fifo"), "x", &why));  // and does not block
  EXPECT_FALSE(RewriteFileInPlace(dir.File("missing"), "x", &why));
  EXPECT_FALSE(why.empty());
}

// Every way of reading or appending to a file refuses what is no regular
// file, at once: a FIFO would block, /dev/zero never ends, a directory holds
// nothing. A link to a regular file is read; one is never appended through.
TEST(InputFile, OnlyRegularFilesAndWithoutBlocking) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", dir.File("zero").c_str()), 0);
  ASSERT_EQ(mkdir(dir.File("dir").c_str(), 0700), 0);
  ASSERT_EQ(symlink("missing", dir.File("dangling").c_str()), 0);
  dir.Write("plain", "abc");
  ASSERT_EQ(symlink("plain", dir.File("link").c_str()), 0);
  for (const char* name : {"fifo", "zero", "dir", "dangling", "missing"}) {
    SCOPED_TRACE(name);
    InputFile in;
    EXPECT_FALSE(in.Open(dir.File(name)));
    std::string data = "untouched";
    EXPECT_FALSE(ReadRegularFile(dir.File(name), &data));
    EXPECT_EQ(data, "untouched");
    FileIdentity id;
    EXPECT_FALSE(RegularFileIdentity(dir.File(name), &id));
    EXPECT_EQ(OpenForAppending(dir.File(name)), nullptr);
  }
  std::string data;
  FileIdentity id;
  ASSERT_TRUE(ReadRegularFile(dir.File("link"), &data, &id));
  EXPECT_EQ(data, "abc");
  EXPECT_EQ(id.size, 3u);
  EXPECT_EQ(OpenForAppending(dir.File("link")), nullptr);
  std::FILE* f = OpenForAppending(dir.File("plain"));
  ASSERT_NE(f, nullptr);
  std::fputs("d", f);
  std::fclose(f);
  EXPECT_EQ(dir.Read("plain"), "abcd");

  EXPECT_EQ(NotPlainFile(dir.File("link")), "it is a symbolic link");
  EXPECT_EQ(NotPlainFile(dir.File("fifo")), "it is not a regular file");
  EXPECT_EQ(NotPlainFile(dir.File("plain")), std::nullopt);
  EXPECT_EQ(NotPlainFile(dir.File("missing")), std::nullopt);
}

// A read-out or settings file never replaces a device, a FIFO or a directory.
TEST(OutputFile, RefusesATargetThatIsNoRegularFile) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/null", dir.File("null").c_str()), 0);
  ASSERT_EQ(mkdir(dir.File("dir").c_str(), 0700), 0);
  for (const char* name : {"fifo", "null", "dir"}) {
    SCOPED_TRACE(name);
    OutputFile out(dir.File(name));
    EXPECT_FALSE(out.Ok());
    EXPECT_EQ(out.ErrorText(), "it is not a regular file");
    EXPECT_FALSE(out.Write("x"));
    EXPECT_FALSE(out.Commit());
  }
  struct stat st {};
  ASSERT_EQ(lstat(dir.File("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(lstat(dir.File("null").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_FALSE(ReplaceFileAtomically(dir.File("fifo"), "x"));
}

}  // namespace
}  // namespace flash::test
