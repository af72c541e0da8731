// Files that are not what they claim to be, met by the real programs: a FIFO,
// a device, a directory or a symbolic link where the programs expect a file
// of their own. Every command runs under `timeout`, so a program that blocks
// fails the test instead of holding it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "sim/ControlProgram.h"
#include "support/BoardRig.h"
#include "support/ProgramRun.h"
#include "support/SimHarness.h"

namespace flash::test {
namespace {

// What stands under a file's name instead of a regular file.
struct Impostor {
  const char* name;
  std::function<bool(const std::string& path)> make;
};

const Impostor kImpostors[] = {
    {"fifo", [](const std::string& p) { return mkfifo(p.c_str(), 0644) == 0; }},
    {"dev-zero", [](const std::string& p) { return symlink("/dev/zero", p.c_str()) == 0; }},
    {"directory", [](const std::string& p) { return mkdir(p.c_str(), 0755) == 0; }},
};

bool IsFifo(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

class HostileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallProgram(dir, "flashcli");
    dir.Write("CHIPDEF.INI", kSimCatalogue);
    auto program = sim::MakeControlProgram("DEMO_A", "");
    dir.Write("DEMOA.CP", std::string(program.begin(), program.end()));
    dir.Write("app.mhx", SRecords(0x0800, std::vector<uint8_t>(64, 0x5A)));
  }
  void StartBoard() {
    board = std::make_unique<SimHarness>(dir.File("CHIPDEF.INI"), "DEMO_A");
    ASSERT_TRUE(board->Start()) << board->Error();
    ASSERT_TRUE(board->PointCom(dir.Path(), 1));
  }
  ProgramRun Cli(const std::string& args) {
    return RunCommand("cd '" + dir.Path() + "' && timeout 30 ./flashcli " + args + " </dev/null");
  }
  void Replace(const std::string& name, const Impostor& what) {
    unlink(dir.File(name).c_str());
    ASSERT_TRUE(what.make(dir.File(name))) << what.name << " as " << name;
  }

  TempDir dir;
  std::unique_ptr<SimHarness> board;
};

TEST_F(HostileFiles, AHexFileThatIsNoRegularFileCannotBeOpened) {
  for (const Impostor& what : kImpostors) {
    SCOPED_TRACE(what.name);
    Replace("bad.mhx", what);
    for (const char* command : {"checksum bad.mhx", "decode bad.mhx"}) {
      ProgramRun r = Cli(command);
      EXPECT_EQ(r.status, 1) << command << "\n" << r.out;
      EXPECT_NE(r.out.find("file open error"), std::string::npos) << command << "\n" << r.out;
    }
  }
}

TEST_F(HostileFiles, SettingsFilesThatAreNoRegularFilesReadAsMissing) {
  for (const Impostor& what : kImpostors) {
    SCOPED_TRACE(what.name);
    Replace("Customize.ini", what);
    Replace("DATAFILE.TXT", what);
    ProgramRun r = Cli("devices");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("DEMO_A\n"), std::string::npos) << r.out;
    r = Cli("checksum app.mhx");
    EXPECT_EQ(r.status, 0) << r.out;
    // Left as they were: nothing wrote a plain file over them.
    for (const char* name : {"Customize.ini", "DATAFILE.TXT"}) {
      struct stat st {};
      EXPECT_TRUE(lstat(dir.File(name).c_str(), &st) == 0 && !S_ISREG(st.st_mode)) << name;
    }
  }
}

TEST_F(HostileFiles, ACatalogueThatIsNoRegularFileCannotBeOpened) {
  for (const Impostor& what : kImpostors) {
    SCOPED_TRACE(what.name);
    Replace("CHIPDEF.INI", what);
    ProgramRun r = Cli("devices");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("REGIST FAILED!"), std::string::npos) << r.out;
  }
}

TEST_F(HostileFiles, AControlProgramThatIsNoRegularFileCannotBeOpened) {
  StartBoard();
  for (const Impostor& what : kImpostors) {
    SCOPED_TRACE(what.name);
    Replace("DEMOA.CP", what);
    ProgramRun r = Cli("--no-reset download");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find(" No.007 Unable to open Download file."), std::string::npos) << r.out;
  }
}

TEST_F(HostileFiles, TraceSwitchesThatAreNoRegularFilesAreOff) {
  StartBoard();
  Replace("TIMETEST.TXT", kImpostors[0]);
  Replace("CRCTEST.TXT", kImpostors[0]);
  Replace("LINKTRACE.TXT", kImpostors[0]);
  ProgramRun r = Cli("--no-reset download");
  EXPECT_EQ(r.status, 0) << r.out << board->EventText();
  r = Cli("program app.mhx");
  EXPECT_EQ(r.status, 0) << r.out << board->EventText();
  for (const char* name : {"TIMETEST.TXT", "CRCTEST.TXT", "LINKTRACE.TXT"})
    EXPECT_TRUE(IsFifo(dir.File(name))) << name;
}

// A link planted where the programs write their own files must not make
// them write whatever it points to; the run still tells its result.
TEST_F(HostileFiles, LinksInPlaceOfTheProgramsOwnFilesAreRefused) {
  StartBoard();
  dir.Write("victim.txt", "precious");
  for (const char* name : {"MESSFILE.TXT", "TIMETEST.TXT", "LINKTRACE.TXT"})
    ASSERT_EQ(symlink("victim.txt", dir.File(name).c_str()), 0) << name;
  ProgramRun r = Cli("--no-reset download");
  EXPECT_NE(r.out.find("It transferred a control program to the microcomputer"), std::string::npos)
      << r.out << board->EventText();
  // The result file could not be written, so the run cannot count as a success.
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("MESSFILE.TXT could not be written: it is a symbolic link"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("TIMETEST.TXT is not written: it is a symbolic link"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("LINKTRACE.TXT is not written: it is a symbolic link"), std::string::npos)
      << r.out;
  EXPECT_EQ(dir.Read("victim.txt"), "precious");
  for (const char* name : {"MESSFILE.TXT", "TIMETEST.TXT", "LINKTRACE.TXT"})
    EXPECT_TRUE(IsLink(dir.File(name))) << name;
}

TEST_F(HostileFiles, CopyRefusesATargetThatIsNoRegularFile) {
  StartBoard();
  ASSERT_EQ(Cli("--no-reset download").status, 0);
  ASSERT_EQ(mkfifo(dir.File("pipe.mhx").c_str(), 0644), 0);
  ASSERT_EQ(symlink("/dev/null", dir.File("null.mhx").c_str()), 0);
  for (const char* target : {"pipe.mhx", "null.mhx"}) {
    ProgramRun r = Cli(std::string("copy ") + target);
    EXPECT_EQ(r.status, 1) << target << "\n" << r.out;
    EXPECT_NE(r.out.find("ERROR : OPEN FILE ERROR"), std::string::npos) << target << "\n" << r.out;
    EXPECT_NE(r.out.find("it is not a regular file"), std::string::npos) << target << "\n" << r.out;
  }
  EXPECT_TRUE(IsFifo(dir.File("pipe.mhx")));
  EXPECT_TRUE(IsLink(dir.File("null.mhx")));
}

// Ten thousand complete sections, one of them with a rate whose double does
// not fit 32 bits (and which is itself no line rate): every good one is
// listed, the bad one with its reason.
TEST_F(HostileFiles, TenThousandSectionsAndAnOverflowingRate) {
  std::string catalogue;
  catalogue.reserve(10001 * 140);
  for (int i = 0; i < 10000; ++i)
    catalogue += "[CHIP" + std::to_string(i) +
                 "]\r\nDownloadFile=DEMOA.CP\r\nLoadAddress=0x1000\r\nStartAddress=0\r\n"
                 "EndAddress=FFFF\r\nFlashSize=64\r\nClock=4MHz\r\nBaud=9600\r\n";
  catalogue +=
      "[HUGE]\r\nDownloadFile=x\r\nLoadAddress=0\r\nStartAddress=0\r\nEndAddress=FF\r\n"
      "FlashSize=1\r\nClock=4\r\nBaud=1073741824\r\n";
  dir.Write("CHIPDEF.INI", catalogue);
  ProgramRun r = Cli("devices");
  ASSERT_EQ(r.status, 0) << r.out.substr(0, 2000);
  std::size_t listed = 0;
  for (std::size_t at = r.out.find("\nCHIP"); at != std::string::npos; at = r.out.find("\nCHIP", at + 1))
    ++listed;
  EXPECT_EQ(listed + (r.out.rfind("CHIP0\n", 0) == 0 ? 1 : 0), 10000u);
  EXPECT_NE(r.out.find("HUGE: Baud entry 1 (1073741824) is not a line rate (50 to 12000000 baud)"),
            std::string::npos)
      << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0);
}

}  // namespace
}  // namespace flash::test
