// flashcli checksum and decode as a build pipeline runs them: the real
// program, copied beside a catalogue of its own.
#include <gtest/gtest.h>

#include <string>

#include "image/HexTestUtil.h"
#include "support/ProgramRun.h"

namespace flash {
namespace {

using test::SLine;

using CliRun = test::ProgramRun;

class Flashcli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::ProgramBuilt("flashcli"));
    test::InstallProgram(dir, "flashcli");
    // Recent device: the first of the list when DATAFILE.TXT names none.
    dir.Write("CHIPDEF.INI",
              "[test_chip]\r\nDownloadFile=t.bin\r\nLoadAddress=0x1000\r\n"
              "StartAddress=00000000,00010000\r\nEndAddress=000000FF,0001000F\r\n"
              "FlashSize=1\r\nClock=8MHz\r\nBaud=9600\r\n"
              "[big_chip]\r\nDownloadFile=t.bin\r\nLoadAddress=0x1000\r\n"
              "StartAddress=00000000\r\nEndAddress=000001FF\r\n"
              "FlashSize=1\r\nClock=8MHz\r\nBaud=9600\r\n");
  }
  CliRun Cli(const std::string& args) { return test::RunCommand("'" + dir.File("flashcli") + "' " + args); }
  test::TempDir dir;
};

TEST_F(Flashcli, ChecksumPrintsFourDigits) {
  dir.Write("one.s19", SLine(1, 0x0000, {0x01}) + "\n");
  // 0x110 region bytes: 0x10F unset.
  CliRun r = Cli("checksum '" + dir.File("one.s19") + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0DF2\n");  // (0x10F * 0xFF + 1) & 0xFFFF
  r = Cli("--fill 00 checksum '" + dir.File("one.s19") + "'");
  EXPECT_EQ(r.out, "0001\n");
  r = Cli("--fill a5 --device big_chip checksum '" + dir.File("one.s19") + "'");
  EXPECT_EQ(r.out, "495C\n");  // (0x1FF * 0xA5 + 1) & 0xFFFF
}

TEST_F(Flashcli, ChecksumFailuresNameTheDecoder) {
  dir.Write("bad.s19", "S00600004844521B\n\n" + SLine(1, 0x0200, {0x01}) + "\n");
  CliRun r = Cli("checksum '" + dir.File("bad.s19") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "S format decoder: address error in 3\n");
  dir.Write("empty.hex", "");
  r = Cli("checksum '" + dir.File("empty.hex") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "HexFile decoder: This file is NULL\n");
  r = Cli("checksum '" + dir.File("none.hex") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "HexFile decoder: file open error\n");
  r = Cli("--fill F checksum '" + dir.File("none.hex") + "'");
  EXPECT_EQ(r.status, 2);
}

TEST_F(Flashcli, DecodeTellsWhatTheFileSets) {
  // Overlapping records count their bytes once; the 0x00100003 record sets
  // two bytes outside every region.
  dir.Write("f.s28", SLine(2, 0x0000F0, {1, 2, 3, 4}) + "\n" + SLine(2, 0x0000F2, {5, 6}) + "\n" +
                         SLine(2, 0x01000E, {7, 8}) + "\n" + SLine(2, 0x100000, {9, 9, 9, 9}) + "\n");
  CliRun r = Cli("decode '" + dir.File("f.s28") + "'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("format           S-records\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("records placed   4\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("bytes set        8\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("lowest address   000000F0H\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("highest address  00100001H\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1       00000000H  000000FFH  00000100H  4\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2       00010000H  0001000FH  00000010H  2\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("outside regions  2\n"), std::string::npos) << r.out;
}

TEST_F(Flashcli, DecodeListsTheBytesNotStored) {
  // test_chip's regions are far from 0x00100000; records ending at 0x00100002
  // or 0x00100003 load anyway, and their bytes at those two addresses are
  // listed once each, after everything else.
  struct Case {
    const char* name;
    std::string text;
    std::string tail;  // the output from "outside regions" on
  };
  const std::string word = SLine(2, 0x100000, {1, 2, 3, 4}) + "\n";
  const Case cases[] = {
      {"RecordOverTheWord", word, "outside regions  2\nnot stored: 00100002H-00100003H, 2 bytes\n"},
      {"SingleByte", SLine(2, 0x100003, {9}) + "\n",
       "outside regions  0\nnot stored: 00100003H-00100003H, 1 byte\n"},
      {"AdjacentRecordsMerge", SLine(2, 0x100003, {8}) + "\n" + SLine(2, 0x100002, {7}) + "\n",
       "outside regions  0\nnot stored: 00100002H-00100003H, 2 bytes\n"},
      {"RepeatedRecordsListedOnce",
       word + SLine(1, 0x0000, {1}) + "\n" + word + SLine(2, 0x100003, {5}) + "\n",
       "outside regions  2\nnot stored: 00100002H-00100003H, 2 bytes\n"},
      {"NothingDropped", SLine(1, 0x0000, {1}) + "\n", "outside regions  0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("w.s28", c.text);
    CliRun r = Cli("decode '" + dir.File("w.s28") + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::size_t at = r.out.find("outside regions");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(at), c.tail);
  }
}

}  // namespace
}  // namespace flash
