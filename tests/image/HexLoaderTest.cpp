#include <gtest/gtest.h>

#include "base/Messages.h"
#include "base/ProgressDialog.h"
#include "image/HexLoader.h"
#include "image/HexTestUtil.h"
#include "support/TestSession.h"

namespace flash {
namespace {

using test::ILine;
using test::SLine;

// Two touching regions from 0 (DEMO_CHIP of the test catalogue).
struct LoaderFixture {
  explicit LoaderFixture(std::vector<std::string> args = {}) : t(std::move(args)) {
    SessionState& st = t.state();
    st.regionCount = 2;
    st.regionStarts[0] = 0x00000000;
    st.regionEnds[0] = 0x000FFFFF;
    st.regionStarts[1] = 0x00100000;
    st.regionEnds[1] = 0x00100FFF;
    st.image.SetBase(0);
  }
  void File(const std::string& name, const std::string& text) {
    t.dir.Write(name, text);
    t.state().hexFilePath = t.dir.File(name);
  }
  void OpenProgress() {
    t.state().progressDialog = std::make_unique<ProgressDialog>();
    ASSERT_TRUE(t.state().progressDialog->Open(t.ui));
  }
  bool Load(bool full = false, uint8_t fill = 0xFF) { return LoadHexFile(t.session, full, fill); }
  std::string ResultFile() const {
    return t.dir.Exists("MESSFILE.TXT") ? t.dir.Read("MESSFILE.TXT") : "<none>";
  }
  test::TestSession t;
};

TEST(LoadHexFile, FormatComesFromTheFirstCharacterNotTheName) {
  LoaderFixture f;
  f.File("program.hex", SLine(1, 0x10, {0x12}) + "\n");
  EXPECT_TRUE(f.Load());
  EXPECT_EQ(f.t.state().image.At(0x10), 0x12);
  f.File("program.mot", ILine(0, 0x20, {0x34}) + "\n");
  EXPECT_TRUE(f.Load());
  EXPECT_EQ(f.t.state().image.At(0x20), 0x34);
  EXPECT_EQ(f.t.state().image.At(0x10), 0xFF);  // every load starts from the fill byte
  EXPECT_TRUE(f.t.ui.boxes.empty());
}

TEST(LoadHexFile, UnsetBytesHoldTheFillByte) {
  LoaderFixture f;
  f.File("a.s19", SLine(1, 0x10, {0x12}) + "\n");
  ASSERT_TRUE(f.Load(false, 0x00));
  EXPECT_EQ(f.t.state().image.At(0x11), 0x00);
  EXPECT_EQ(f.t.state().image.HighArea()[5], 0x00);
  ASSERT_TRUE(f.Load(false, 0xFF));
  EXPECT_EQ(f.t.state().image.At(0x11), 0xFF);
}

TEST(LoadHexFile, NeverStoredIndicesKeepTheFillInBothFormats) {
  // Region 1 starts at 0x00100000 and the base is 0: indices and addresses agree.
  LoaderFixture f;
  const std::vector<uint8_t> word{0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
  const std::string files[] = {SLine(2, 0x000FFFFF, {0xA0}) + "\n" + SLine(2, 0x00100000, word) + "\n",
                               ILine(4, 0, {0x00, 0x0F}) + "\n" + ILine(0, 0xFFFF, {0xA0}) + "\n" +
                                   ILine(4, 0, {0x00, 0x10}) + "\n" + ILine(0, 0x0000, word) + "\n"};
  for (const std::string& text : files) {
    for (uint8_t fill : {uint8_t{0x00}, uint8_t{0xFF}}) {
      SCOPED_TRACE(text + " fill " + std::to_string(fill));
      f.File("w.hex", text);
      ASSERT_TRUE(f.Load(false, fill));
      const SessionState& st = f.t.state();
      EXPECT_EQ(st.image.At(0x000FFFFF), 0xA0);
      EXPECT_EQ(st.image.At(0x00100000), 0xA1);
      EXPECT_EQ(st.image.At(0x00100001), 0xA2);
      EXPECT_EQ(st.image.At(0x00100002), fill);
      EXPECT_EQ(st.image.At(0x00100003), fill);
      EXPECT_EQ(st.image.At(0x00100004), 0xA5);
      EXPECT_EQ(st.image.At(0x00100005), 0xA6);
      EXPECT_EQ(st.image.At(0x00100006), fill);
    }
  }
}

TEST(LoadHexFile, ImageKeepsRecordsBeforeTheFailingLine) {
  LoaderFixture f;
  f.File("a.s19", SLine(1, 0x10, {0x12}) + "\n" + SLine(1, 0x20, {0x34}) + "x\n");
  EXPECT_FALSE(f.Load());
  EXPECT_EQ(f.t.state().image.At(0x10), 0x12);
  EXPECT_EQ(f.t.state().image.At(0x20), 0xFF);
}

TEST(LoadHexFile, ProgressDialogShowsTheDecodingTitle) {
  LoaderFixture f;
  f.OpenProgress();
  f.File("a.s19", SLine(1, 0, {1}) + "\n");
  ASSERT_TRUE(f.Load(true));
  EXPECT_EQ(f.t.state().operationTitle, "Full Operation -  Decoding HexFile");
  EXPECT_EQ(f.t.ui.progress[0]->status, "Full Operation -  Decoding HexFile");
  EXPECT_EQ(f.t.state().progressDialog->Style(), 0);
  ASSERT_TRUE(f.Load(false));
  EXPECT_EQ(f.t.ui.progress[0]->status, " Decoding HexFile");

  f.t.state().showDialogs = false;
  f.t.ui.progress[0]->status.clear();
  ASSERT_TRUE(f.Load(true));
  EXPECT_EQ(f.t.state().operationTitle, "Full Operation -  Decoding HexFile");
  EXPECT_EQ(f.t.ui.progress[0]->status, "");
}

struct FailureCase {
  const char* name;
  std::string file;  // empty name: hexFilePath names no file
  std::string text;
  bool withProgress;
  bool batch;
  std::string box;       // "caption|text", or empty: no box
  std::string resultFile;  // MESSFILE.TXT afterwards
};

class LoadFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LoadFailureTest, ReportsWhereItShould) {
  const FailureCase& c = GetParam();
  LoaderFixture f(c.batch ? std::vector<std::string>{"x.hex"} : std::vector<std::string>{});
  // A previous good run: a failed load must not leave it standing.
  f.t.dir.Write("MESSFILE.TXT", "OK");
  if (c.withProgress) f.OpenProgress();
  if (c.file.empty())
    f.t.state().hexFilePath = f.t.dir.File("missing.hex");
  else
    f.File(c.file, c.text);
  EXPECT_FALSE(f.Load());
  std::vector<std::string> boxes;
  for (const auto& b : f.t.ui.boxes) {
    boxes.push_back(b.caption + "|" + b.text);
    EXPECT_EQ(b.icon, BoxIcon::None);
    EXPECT_EQ(b.buttons, BoxButtons::Ok);
    EXPECT_EQ(b.owner, c.withProgress ? BoxOwner::ProgressDialog : BoxOwner::None);
  }
  EXPECT_EQ(boxes, c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
  EXPECT_EQ(f.ResultFile(), c.resultFile);
}

const std::string kGood = SLine(1, 0, {1}) + "\n";
const std::string kBadS = kGood + SLine(1, 0, {1}) + " \n";        // decode error in 2
const std::string kBadI = ILine(0, 0, {1}) + "\n" + ILine(7, 0, {}) + "\n";  // decode error in 2
const std::string kOutside = SLine(2, 0x00200000, {1}) + "\n";   // address error in 1

INSTANTIATE_TEST_SUITE_P(
    Routing, LoadFailureTest,
    ::testing::Values(
        FailureCase{"OpenError", "", "", false, false, "HexFile decoder|file open error", "OK"},
        FailureCase{"OpenErrorBatch", "", "", true, true, "", "NG\r\nfile open error HexFile decoder"},
        FailureCase{"EmptyWithProgress", "e.hex", "", true, false, "HexFile decoder|This file is NULL", "OK"},
        FailureCase{"EmptyWithoutProgress", "e.hex", "", false, false, "", "OK"},
        FailureCase{"EmptyBatch", "e.hex", "", false, true, "", "NG\r\nThis file is NULL HexFile decoder"},
        FailureCase{"EmptyFirstLine", "e.hex", "\n" + kGood, true, false,
                    "HexFile decoder|auto-format detector error", "OK"},
        FailureCase{"LeadingBlank", "e.hex", " " + kGood, true, false,
                    "HexFile decoder|auto-format detector error", "OK"},
        FailureCase{"UnknownFormatWithoutProgress", "e.hex", "@\n", false, false, "", "OK"},
        FailureCase{"UnknownFormatBatch", "e.hex", "@\n", true, true,
                    "HexFile decoder|auto-format detector error",
                    "NG\r\nauto-format detector error HexFile decoder"},
        FailureCase{"SRecordError", "e.s19", kBadS, false, false, "S format decoder|decode error in 2", "OK"},
        FailureCase{"SRecordErrorBatch", "e.s19", kBadS, true, true, "",
                    "NG\r\nS format decoder decode error in 2"},
        FailureCase{"SRecordAddressError", "e.s19", kOutside, true, false,
                    "S format decoder|address error in 1", "OK"},
        FailureCase{"IntelError", "e.hex", kBadI, true, false,
                    "IntelHex format decoder|decode error in 2", "OK"},
        // The Intel HEX box shows in unattended runs too; the result file says why.
        FailureCase{"IntelErrorBatch", "e.hex", kBadI, false, true,
                    "IntelHex format decoder|decode error in 2",
                    "NG\r\nIntelHex format decoder decode error in 2"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LoadHexFile, DetailsForTools) {
  LoaderFixture f;
  f.File("e.hex", "");
  LoadDetails d;
  EXPECT_FALSE(LoadHexFile(f.t.session, false, 0xFF, nullptr, &d));
  EXPECT_EQ(d.caption, "HexFile decoder");
  EXPECT_EQ(d.text, "This file is NULL");
  EXPECT_FALSE(d.shown);
  f.File("i.hex", ILine(0, 0, {1}) + "\n");
  EXPECT_TRUE(LoadHexFile(f.t.session, false, 0xFF, nullptr, &d));
  EXPECT_EQ(d.format, HexFormat::IntelHex);
  EXPECT_TRUE(d.text.empty());
}

}  // namespace
}  // namespace flash
