#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "image/Checksum.h"
#include "image/HexLoader.h"
#include "image/HexTestUtil.h"
#include "support/TestSession.h"

namespace flash {
namespace {

using test::SLine;

// Region sizes 0x100 + 0x11 + 0x20 = 0x131 bytes, one in the high area; the
// odd size leaves bytes after the last whole word of the sum.
struct ChecksumFixture {
  ChecksumFixture() {
    SessionState& st = t.state();
    st.regionCount = 3;
    st.regionStarts = {0x00001000, 0x00002000, 0x20000000};
    st.regionEnds = {0x000010FF, 0x00002010, 0x2000001F};
    st.image.SetBase(0x1000);
  }
  void File(const std::string& text) {
    t.dir.Write("f.s28", text);
    t.state().hexFilePath = t.dir.File("f.s28");
  }
  test::TestSession t;
};

constexpr int kRegionBytes = 0x131;

TEST(ImageChecksum, NothingSetSumsTheFill) {
  ChecksumFixture f;
  // A record ending at 0x00100003 loads but lies outside every region.
  f.File(SLine(2, 0x00100000, {1, 2, 3, 4}) + "\n");
  EXPECT_EQ(ImageChecksum(f.t.session, 0xFF), (kRegionBytes * 0xFF) & 0xFFFF);
  EXPECT_EQ(CheckSumResultText(f.t.session, "FF"), "2FCF");
}

TEST(ImageChecksum, SingleByteOverZeroFill) {
  ChecksumFixture f;
  f.File(SLine(3, 0x2000001F, {0x01}) + "\n");  // the last byte of the last region
  EXPECT_EQ(CheckSumResultText(f.t.session, "00"), "0001");
}

TEST(ImageChecksum, FillChangesTheSumByUnsetBytesTimesTheDifference) {
  ChecksumFixture f;
  f.File(SLine(1, 0x1000, {0x10, 0x20, 0x30}) + "\n" + SLine(1, 0x200F, {0xFE, 0xFF}) + "\n" +
         SLine(3, 0x20000000, {0x80}) + "\n");
  const int set = 0x10 + 0x20 + 0x30 + 0xFE + 0xFF + 0x80;
  const int unset = kRegionBytes - 6;
  for (int fill : {0x00, 0x01, 0x5A, 0xFF}) {
    SCOPED_TRACE(fill);
    EXPECT_EQ(ImageChecksum(f.t.session, static_cast<uint8_t>(fill)), (set + unset * fill) & 0xFFFF);
  }
  // The fill byte stays in the image after the dialog's load.
  EXPECT_EQ(f.t.state().image.At(0x1003), 0xFF);
}

TEST(ImageChecksum, SumWrapsAtSixteenBits) {
  ChecksumFixture f;
  f.t.state().regionCount = 1;
  f.t.state().regionEnds[0] = 0x00100FFF;  // 1 MiB of FF
  f.File(SLine(1, 0x1000, {0x00}) + "\n");
  EXPECT_EQ(ImageChecksum(f.t.session, 0xFF), (0x100000 - 1) * 0xFF & 0xFFFF);
}

TEST(ImageChecksum, NeverStoredIndicesSumAsTheFillInsideARegion) {
  // One region over base + 0x100002; the record's middle two bytes are not
  // stored, so they add the fill byte, not 0x33 and 0x44.
  ChecksumFixture f;
  f.t.state().regionCount = 1;
  f.t.state().regionEnds[0] = 0x00101FFF;
  f.File(SLine(2, 0x00101000, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}) + "\n");
  EXPECT_EQ(CheckSumResultText(f.t.session, "00"), "00EE");
  const int regionBytes = 0x101000;
  EXPECT_EQ(ImageChecksum(f.t.session, 0xFF), (0xEE + (regionBytes - 4) * 0xFF) & 0xFFFF);
  EXPECT_EQ(f.t.state().image.At(0x00101002), 0xFF);
  EXPECT_EQ(f.t.state().image.At(0x00101003), 0xFF);
}

TEST(ImageChecksum, FailedLoadGivesTheMarkerAndAnEmptyText) {
  ChecksumFixture f;
  f.File(SLine(1, 0x3000, {1}) + "\n");  // outside every region
  EXPECT_EQ(ImageChecksum(f.t.session, 0xFF), kChecksumFailed);
  EXPECT_EQ(CheckSumResultText(f.t.session, "FF"), "");
  ASSERT_EQ(f.t.ui.BoxTexts(), (std::vector<std::string>{"address error in 1", "address error in 1"}));

  // No progress dialog during Check SUM: an empty file fails without a word.
  f.File("");
  EXPECT_EQ(CheckSumResultText(f.t.session, "FF"), "");
  EXPECT_EQ(f.t.ui.boxes.size(), 2u);

  f.t.state().hexFilePath.clear();  // no file chosen
  EXPECT_EQ(CheckSumResultText(f.t.session, "FF"), "");
  ASSERT_EQ(f.t.ui.boxes.size(), 3u);
  EXPECT_EQ(f.t.ui.boxes[2].text, "file open error");
  EXPECT_EQ(f.t.ui.boxes[2].caption, "HexFile decoder");
}

TEST(CheckSumResultText, BadFillTextReadsNoFile) {
  ChecksumFixture f;
  f.t.state().hexFilePath = f.t.dir.File("missing.s19");  // a read would show "file open error"
  for (const char* text : {"", "F", "GG", "ff", "0x", " F", "-1"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(CheckSumResultText(f.t.session, text), "");
  }
  EXPECT_TRUE(f.t.ui.boxes.empty());
}

TEST(ParseFillText, TwoUpperCaseDigits) {
  EXPECT_EQ(ParseFillText("FF"), 0xFF);
  EXPECT_EQ(ParseFillText("00"), 0x00);
  EXPECT_EQ(ParseFillText("A5"), 0xA5);
  EXPECT_EQ(ParseFillText("9Bxyz"), 0x9B);  // only the first two count
  EXPECT_FALSE(ParseFillText("aF").has_value());
  EXPECT_FALSE(ParseFillText("F").has_value());
}

// Files written by srec_cat and objcopy (scripts/make-hex-testdata) against
// sums computed from their payloads without any hex decoder.
TEST(ImageChecksum, PeerFilesMatchTheirPayloadSums) {
  const std::string dir = std::string(FLASH_SOURCE_DIR) + "/tests/data/hex/";
  std::ifstream sums(dir + "SUMS");
  ASSERT_TRUE(sums) << "run scripts/make-hex-testdata";
  test::TestSession t;
  SessionState& st = t.state();
  st.regionCount = 3;
  st.regionStarts = {0x00000000, 0x00200000, 0x20000000};
  st.regionEnds = {0x0003FFFF, 0x0020FFFF, 0x2000FFFF};
  st.image.SetBase(0);
  int files = 0;
  std::string line;
  while (std::getline(sums, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string name, ff, zero;
    in >> name >> ff >> zero;
    SCOPED_TRACE(name);
    st.hexFilePath = dir + name;
    EXPECT_EQ(CheckSumResultText(t.session, "FF"), ff);
    EXPECT_EQ(CheckSumResultText(t.session, "00"), zero);
    ++files;
  }
  EXPECT_EQ(files, 14);
  EXPECT_TRUE(t.ui.boxes.empty());
}

}  // namespace
}  // namespace flash
