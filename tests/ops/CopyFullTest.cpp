// Copy and Full Operation against the simulated board, in fake time.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/FlashProgram.h"
#include "base/ProgressDialog.h"
#include "image/Checksum.h"
#include "image/HexLoader.h"
#include "ops/CommandHandlers.h"
#include "ops/Engines.h"
#include "support/BoardRig.h"

namespace flash {
namespace {

using test::BoardRig;
using test::SRecords;

// A region crossing 64 KiB from a start that is not a multiple of 16, one
// starting on a boundary, and the 20-byte region of the file examples.
constexpr const char* kCopyCatalogue =
    "[copy_chip]\r\nDownloadFile=ops.bin\r\nLoadAddress=0x1000\r\n"
    "StartAddress=0001FF08,00030000,00100000\r\nEndAddress=00020107,000300FF,00100013\r\n"
    "FlashSize=1\r\nClock=4MHz\r\nBaud=9600\r\n";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

struct CopyRig : BoardRig {
  CopyRig() : BoardRig({}, kCopyCatalogue) {
    for (uint32_t a = 0x1FF08; a <= 0x20107; ++a) board().Flash().Poke(a, static_cast<uint8_t>(a * 3));
    for (uint32_t a = 0x30000; a <= 0x300FF; ++a) board().Flash().Poke(a, static_cast<uint8_t>(a >> 1));
    for (uint32_t i = 0; i < 20; ++i) board().Flash().Poke(0x100000 + i, static_cast<uint8_t>(i));
  }
  std::vector<std::string> CopyTo(const std::string& name, bool intel) {
    state().copyAsIntelHex = intel;
    ui().saveAnswer = dir().File(name);
    OnCopy(s());
    return Lines(dir().Read(name));
  }
};

TEST(Copy, SRecordFileLineByLine) {
  CopyRig r;
  ASSERT_TRUE(r.Download());
  r.dir().Write("TIMETEST.TXT", "");
  auto lines = r.CopyTo("out.mhx", false);
  ASSERT_EQ(r.state().lastReportId, 308);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "S005000046575D");
  EXPECT_EQ(lines.back(), "S804000000FB");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "S31500100000000102030405060708090A0B0C0D0E0F62"),
            lines.end());
  // 32 + 16 records and the 4-byte tail, between one header and one end line.
  EXPECT_EQ(lines.size(), 1u + 32 + 16 + 2 + 1);
  EXPECT_EQ(lines[lines.size() - 2].substr(0, 12), "S30900100010");
  const auto& f = r.ui().fileDialogs.back();
  EXPECT_EQ(f.defaultExtension, "mhx");
  EXPECT_EQ(f.filter, "S format files (*.mhx;*.cnv;*.ahx)|*.mhx;*.cnv;*.ahx|all files (*.*)|*.*||");
  EXPECT_NE(r.dir().Read("TIMETEST.TXT").find("COPY="), std::string::npos);
}

TEST(Copy, IntelHexKeepsEveryRecordInItsSegment) {
  CopyRig r;
  ASSERT_TRUE(r.Download());
  auto lines = r.CopyTo("out.hex", true);
  ASSERT_EQ(r.state().lastReportId, 308);
  EXPECT_EQ(lines.back(), ":00000001FF");
  EXPECT_EQ(lines.front(), ":020000040001F9");  // the first region starts in segment 1
  // The record that crosses 20000H is split there, with the segment line between.
  auto at = std::find(lines.begin(), lines.end(), ":020000040002F8");
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(at[-1].substr(0, 9), ":08FFF800");
  EXPECT_EQ(at[1].substr(0, 9), ":08000000");
  EXPECT_EQ(at[2].substr(0, 9), ":10000800");  // the later records keep their places
  // A region on a boundary gets only its own line; the example region its two records.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), ":020000040003F7"), 1);
  auto tail = std::find(lines.begin(), lines.end(), ":020000040010EA");
  ASSERT_NE(tail, lines.end());
  EXPECT_EQ(tail[1], ":10000000000102030405060708090A0B0C0D0E0F78");
  EXPECT_EQ(tail[2], ":0400100010111213A6");
}

TEST(Copy, EitherFileLoadsBackToTheFlash) {
  for (bool intel : {false, true}) {
    CopyRig r;
    ASSERT_TRUE(r.Download());
    r.CopyTo("back", intel);
    ASSERT_EQ(r.state().lastReportId, 308);
    r.state().hexFilePath = r.dir().File("back");
    int fromFile = ImageChecksum(r.s(), 0x00);
    unsigned fromFlash = 0;
    for (int i = 0; i < r.state().regionCount; ++i)
      for (uint32_t a = r.state().regionStarts[i]; a <= r.state().regionEnds[i]; ++a)
        fromFlash += r.board().Flash().Read(a);
    EXPECT_EQ(fromFile, static_cast<int>(fromFlash & 0xFFFF)) << intel;
    for (uint32_t a = 0x1FF08; a <= 0x20107; ++a)
      ASSERT_EQ(r.state().image.At(a), r.board().Flash().Read(a)) << std::hex << a;
  }
}

TEST(Copy, FailureLeavesAnExistingFileUntouched) {
  {
    CopyRig r;
    ASSERT_TRUE(r.Download());
    r.dir().Write("keep.hex", "precious");
    sim::Faults f;
    f.silentCommands.insert(0x28);
    r.board().SetFaults(f);
    r.CopyTo("keep.hex", true);
    EXPECT_EQ(r.state().lastReportId, 203);
    EXPECT_EQ(r.dir().Read("keep.hex"), "precious");
  }
  {
    CopyRig r;
    ASSERT_TRUE(r.Download());
    r.dir().Write("keep.mhx", "precious");
    r.ui().pressOnPump = {5};
    r.CopyTo("keep.mhx", false);
    EXPECT_EQ(r.ui().progress.back()->status, "It was canceled");
    EXPECT_EQ(r.dir().Read("keep.mhx"), "precious");
  }
  {
    CopyRig r;
    ASSERT_TRUE(r.Download());
    r.state().lastReportId = 0;
    r.CopyTo("no/such/dir/out.mhx", false);
    ASSERT_EQ(r.ui().boxes.size(), 1u);
    EXPECT_EQ(r.ui().boxes[0].text, "ERROR : OPEN FILE ERROR");
    EXPECT_EQ(r.ui().boxes[0].caption, "Dazur Ovaduv Odovov");
    EXPECT_EQ(r.board().Stats().blocksRead, 0);
  }
  // Nothing half-written is left beside the files.
  CopyRig r;
  std::ostringstream names;
  for (const auto& e : std::filesystem::directory_iterator(r.dir().Path())) names << e.path() << ";";
  EXPECT_EQ(names.str().find(".part"), std::string::npos) << names.str();
}

// A block that comes short (a board pausing longer than the port waits, bytes
// lost): the zeros left in the buffer give a CRC of 0 too. That must fail as
// a read error, never pass as flash bytes read.
TEST(ReadBack, AShortBlockIsAReadErrorNotZeros) {
  for (bool copy : {true, false}) {
    SCOPED_TRACE(copy ? "copy" : "compare");
    CopyRig r;
    ASSERT_TRUE(r.Download());
    for (uint32_t a = 0x1FF08; a <= 0x20107; ++a) r.board().Flash().Poke(a, 0);
    auto board = r.line().responder;
    r.line().responder = [board](test::FakeLine& l, const std::vector<uint8_t>& bytes) {
      const std::size_t before = l.incoming.size();
      board(l, bytes);
      // The block goes out, but 414 of its bytes are lost on the way; the
      // board's closing answer still comes.
      if (l.incoming.size() - before > 514) {
        auto from = l.incoming.begin() + static_cast<std::ptrdiff_t>(before + 100);
        l.incoming.erase(from, from + 414);
      }
    };
    if (copy) {
      r.CopyTo("out.mhx", false);
      EXPECT_EQ(r.state().lastReportId, msg::kReadError);
      EXPECT_FALSE(r.dir().Exists("out.mhx"));
    } else {
      r.UseHexFile("zeros.mhx", SRecords(0x1FF08, std::vector<uint8_t>(0x200, 0)));
      OnReadCompare(r.s());
      EXPECT_EQ(r.state().lastReportId, msg::kPortReadError);
    }
  }
}

TEST(Copy, CancelledSaveDialogReadsNothing) {
  CopyRig r;
  ASSERT_TRUE(r.Download());
  r.ui().saveAnswer.reset();
  OnCopy(r.s());
  EXPECT_EQ(r.board().Stats().blocksRead, 0);
  EXPECT_TRUE(r.ui().boxes.empty());
}

TEST(Copy, RecordFormats) {
  const uint8_t data[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  EXPECT_EQ(FormatSRecord(reinterpret_cast<const uint8_t*>("FW"), 0, 0, 2), "S005000046575D\n");
  EXPECT_EQ(FormatSRecord(nullptr, 0, 8, 0), "S804000000FB\n");
  EXPECT_EQ(FormatSRecord(data, 0x00100000, 3, 16),
            "S31500100000000102030405060708090A0B0C0D0E0F62\n");
  EXPECT_EQ(FormatSRecord(data, 0x123456, 2, 1), "S205123456005E\n");
  EXPECT_EQ(FormatIntelExtAddress(0x00100000), ":020000040010EA\n");
  EXPECT_EQ(FormatIntelData(data, 0x0000, 16), ":10000000000102030405060708090A0B0C0D0E0F78\n");
}

// Full Operation --------------------------------------------------------------

std::vector<uint8_t> Pattern(std::size_t n) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 13 + 5);
  return v;
}

void ExpectProgrammed(BoardRig& r) {
  auto want = Pattern(1024);
  for (uint32_t i = 0; i < want.size(); ++i) ASSERT_EQ(r.board().Flash().Read(0x400 + i), want[i]);
}

TEST(FullOperation, BlankBoardIsProgrammedAtOnce) {
  BoardRig r;
  r.dir().Write("TIMETEST.TXT", "");
  r.UseHexFile("app.mhx", SRecords(0x400, Pattern(1024)));
  OnFullOperation(r.s());
  EXPECT_EQ(r.state().lastReportId, 306);
  EXPECT_EQ(r.dir().Read("MESSFILE.TXT"), "OK");
  EXPECT_EQ(r.board().Stats().erases, 0);
  ExpectProgrammed(r);
  std::string trace = r.dir().Read("TIMETEST.TXT");
  EXPECT_NE(trace.find("AUTO="), std::string::npos);
  EXPECT_EQ(trace.find("DOWNLOAD="), std::string::npos);
  const auto& calls = r.ui().progress.at(0)->calls;
  EXPECT_NE(std::find(calls.begin(), calls.end(), "caption:Full Operation"), calls.end());
  EXPECT_TRUE(r.state().controlProgramRunning);
  EXPECT_FALSE(r.line().open);
}

TEST(FullOperation, BlankBoardWithAnErasedCrWordIsErasedAnyway) {
  BoardRig r;
  r.UseHexFile("app.mhx", SRecords(0x400, Pattern(1024)));
  r.board().Cr() = {0xFF, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  OnFullOperation(r.s());
  EXPECT_EQ(r.state().lastReportId, 306);
  EXPECT_EQ(r.board().Stats().erases, 1);
  EXPECT_EQ(r.board().Stats().blankChecks, 3 + 3);  // the probe, then the blank check
  ExpectProgrammed(r);
}

TEST(FullOperation, NonBlankBoardIsErasedWithReconnection) {
  BoardRig r;
  r.UseHexFile("app.mhx", SRecords(0x400, Pattern(1024)));
  r.board().Flash().FillPattern();
  r.board().Cr() = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  OnFullOperation(r.s());
  EXPECT_EQ(r.state().lastReportId, 306);
  EXPECT_EQ(r.board().Stats().erases, 1);
  EXPECT_EQ(r.board().Stats().programsStarted, 2);  // downloaded again after the erase
  EXPECT_EQ(r.board().Flash().Read(0x200000), 0xFF);
  ExpectProgrammed(r);
}

TEST(FullOperation, UnattendedWithoutDialogs) {
  BoardRig r({"app.mhx", "no_dialog", "no_reset"});
  r.UseHexFile("app.mhx", SRecords(0x400, Pattern(1024)));
  r.board().Flash().FillPattern();
  OnFullOperation(r.s());
  EXPECT_EQ(r.state().lastReportId, 306);
  EXPECT_TRUE(r.ui().progress.empty());
  EXPECT_TRUE(r.ui().boxes.empty());  // not even the reset prompt
  EXPECT_EQ(BatchExitStatus(r.s()), 0);
  ExpectProgrammed(r);
}

TEST(FullOperation, FlashThatStaysNonBlankIsAWarning) {
  BoardRig r({"app.mhx", "no_dialog", "no_reset"});
  r.UseHexFile("app.mhx", SRecords(0x400, Pattern(1024)));
  sim::Faults f;
  f.notBlankAt = 0x100080;
  r.board().SetFaults(f);
  r.board().Flash().FillPattern();
  OnFullOperation(r.s());
  EXPECT_EQ(r.state().lastReportId, 564);
  // The unattended form: no prefix, a line end after the message, then the details.
  EXPECT_EQ(r.dir().Read("MESSFILE.TXT").rfind("NG\r\nA flash isn't erased\r\n\r\r\n ErrorAddress : 0x", 0), 0u)
      << r.dir().Read("MESSFILE.TXT");
  EXPECT_EQ(BatchExitStatus(r.s()), 1);
  EXPECT_EQ(r.board().Stats().blocksProgrammed, 0);
}

TEST(FullOperation, MissingFileTouchesNothing) {
  BoardRig r;
  r.state().controlProgramRunning = true;
  r.state().hexFilePath.clear();
  OnFullOperation(r.s());
  EXPECT_EQ(r.state().lastReportId, 401);
  EXPECT_TRUE(r.line().events.empty());
  EXPECT_TRUE(r.state().controlProgramRunning);
  EXPECT_TRUE(r.ui().progress.empty());
}

TEST(FullOperation, NoAnswerFromTheBootRom) {
  BoardRig r;
  r.UseHexFile("app.mhx", SRecords(0x400, Pattern(64)));
  sim::Faults f;
  f.silentCommands.insert(0x18);
  r.board().SetFaults(f);
  OnFullOperation(r.s());
  EXPECT_EQ(r.state().lastReportId, 203);
  EXPECT_NE(r.state().lastReportText.find("ERROR !!"), std::string::npos);
  EXPECT_FALSE(r.state().controlProgramRunning);
  EXPECT_FALSE(r.line().open);
}

TEST(Download, CommandShowsItsCaptionAndStatus) {
  BoardRig r;
  r.dir().Write("TIMETEST.TXT", "");
  OnDownload(r.s());
  EXPECT_EQ(r.state().lastReportId, 307);
  auto rec = r.ui().progress.at(0);
  EXPECT_NE(std::find(rec->calls.begin(), rec->calls.end(), "caption:Download"), rec->calls.end());
  EXPECT_NE(std::find(rec->calls.begin(), rec->calls.end(), "status: Downloading"), rec->calls.end());
  EXPECT_TRUE(r.state().controlProgramRunning);
  EXPECT_NE(r.dir().Read("TIMETEST.TXT").find("DOWNLOAD="), std::string::npos);

  // Cancel at the prompt: no message, port closed, buttons not enabled.
  r.state().lastReportId = 0;
  r.ui().answers = {BoxAnswer::Cancel};
  OnDownload(r.s());
  EXPECT_EQ(r.state().lastReportId, 0);
  EXPECT_FALSE(r.state().controlProgramRunning);
  EXPECT_FALSE(r.line().open);
}

}  // namespace
}  // namespace flash
