#include <gtest/gtest.h>

#include "image/HexDecoders.h"
#include "image/HexTestUtil.h"

namespace flash {
namespace {

using test::SLine;

const std::string kGoodS1 = SLine(1, 0x1234, {0xDE, 0xAD, 0xBE, 0xEF});

struct LineCase {
  const char* name;
  std::string line;
  std::size_t dataBytes;  // 0: the line fails
};

class SRecordLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(SRecordLineTest, DecodesOrRefuses) {
  uint8_t bytes[kSRecordMaxBytes];
  SRecordFields f;
  EXPECT_EQ(DecodeSRecordLine(GetParam().line, bytes, &f), GetParam().dataBytes);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  s[0] = 'S';
  return s;
}

// Count FF: 4 address bytes, 250 data bytes, checksum: 256 pairs.
std::string LongS3() { return SLine(3, 0x100, std::vector<uint8_t>(250, 0x5A)); }

INSTANTIATE_TEST_SUITE_P(
    Lines, SRecordLineTest,
    ::testing::Values(
        LineCase{"S1", kGoodS1, 4}, LineCase{"S2", SLine(2, 0x123456, {1, 2}), 2},
        LineCase{"S3", SLine(3, 0x20000000, {9}), 1},
        LineCase{"LowerCaseDigits", Lower(SLine(1, 0xABCD, {0xEF})), 0},
        LineCase{"TrailingBlank", kGoodS1 + " ", 0}, LineCase{"TrailingCr", kGoodS1 + "\r", 0},
        LineCase{"OneSurplusDigit", kGoodS1 + "7", 4}, LineCase{"TwoSurplusDigits", kGoodS1 + "77", 0},
        LineCase{"SurplusNonDigit", kGoodS1 + "x", 0},
        LineCase{"S1WithoutData", "S1030000FC", 0}, LineCase{"S2WithoutData", "S204000000FB", 0},
        LineCase{"S3WithoutData", "S30500000000FA", 0},
        LineCase{"WrongChecksum", kGoodS1.substr(0, kGoodS1.size() - 2) + "00", 0},
        LineCase{"CountTooLarge", "S1" + std::string("08") + kGoodS1.substr(4), 0},
        LineCase{"OnlyTypeChars", "S1", 0}, LineCase{"CountOnly", "S101", 0},
        LineCase{"FullLength", LongS3(), 250},
        LineCase{"PairsAfterThe256thIgnored", LongS3() + "0123456789ABCDEF", 250},
        LineCase{"PairsAfterThe256thMustBeDigits", LongS3() + "01234g", 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(SRecordLine, FieldsByAddressWidth) {
  uint8_t bytes[kSRecordMaxBytes];
  SRecordFields f;
  ASSERT_EQ(DecodeSRecordLine(SLine(1, 0xBEEF, {0x11}), bytes, &f), 1u);
  EXPECT_EQ(f.address, 0xBEEFu);
  EXPECT_EQ(f.dataStart, 3u);
  ASSERT_EQ(DecodeSRecordLine(SLine(2, 0xABCDEF, {0x22}), bytes, &f), 1u);
  EXPECT_EQ(f.address, 0xABCDEFu);
  EXPECT_EQ(f.dataStart, 4u);
  ASSERT_EQ(DecodeSRecordLine(SLine(3, 0xFEDCBA98, {0x33, 0x44}), bytes, &f), 2u);
  EXPECT_EQ(f.address, 0xFEDCBA98u);
  EXPECT_EQ(f.dataStart, 5u);
  EXPECT_EQ(bytes[5], 0x33);
  EXPECT_EQ(bytes[6], 0x44);
}

struct FileCase {
  const char* name;
  std::string text;
  std::string error;  // DecodeErrorText; empty for success
  std::size_t placed;
};

class SRecordFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(SRecordFileTest, StopsAtTheFirstError) {
  MemoryLineSource src(GetParam().text);
  test::RecordingSink sink;
  DecodeOutcome out = DecodeSRecordFile(src, sink);
  EXPECT_EQ(DecodeErrorText(out), GetParam().error);
  EXPECT_EQ(sink.records.size(), GetParam().placed);
}

const std::string kRec = SLine(1, 0x0100, {1, 2, 3});

INSTANTIATE_TEST_SUITE_P(
    Files, SRecordFileTest,
    ::testing::Values(
        FileCase{"Plain", "S00600004844521B\n" + kRec + "\nS9030000FC\n", "", 1},
        FileCase{"NoEndRecord", kRec + "\n" + kRec, "", 2},
        FileCase{"DataAfterEndRecordLoads", kRec + "\nS9030000FC\n" + kRec + "\n", "", 2},
        // Lines of these types are never decoded, whatever they hold.
        FileCase{"SkippedTypesNotChecked",
                 "S0zz\nS5 bad\nS7\nS8\r\r\nS9 x\n" + kRec + "\n", "", 1},
        FileCase{"CrCrLfOnDataLine", kRec + "\r\r\n", "decode error in 1", 0},
        FileCase{"LowerCaseS", kRec + "\ns1030000FC\n", "file error in 2", 1},
        FileCase{"IntelLineInside", kRec + "\n:00000001FF\n", "file error in 2", 1},
        FileCase{"LeadingBlank", kRec + "\n S9030000FC\n", "file error in 2", 1},
        FileCase{"S4", kRec + "\nS4030000FC\n", "S-format error in 2", 1},
        FileCase{"S4Alone", "S4\n" + kRec + "\n", "S-format error in 1", 0},
        // S6, the 24-bit record count of large files, is skipped like S5.
        FileCase{"S6CountOfLargeFile", kRec + "\nS604010000FA\nS9030000FC\n", "", 1},
        FileCase{"S6WrongChecksum", kRec + "\nS60401000000\n" + kRec + "\n", "", 2},
        FileCase{"S6Garbage", "S6 not a count zz\n" + kRec + "\n", "", 1},
        FileCase{"S6TypeOnly", kRec + "\nS6\n" + kRec + "\n", "", 2},
        FileCase{"SAlone", kRec + "\n" + kRec + "\nS\n", "S-format error in 3", 2},
        FileCase{"EmptyLinesCounted", "\n\r\n" + kRec + "\n\nS1030000FC\n", "decode error in 5", 1},
        FileCase{"NoLines", "", "", 0},
        // Far beyond the 256 decoded pairs the line is only checked: hex
        // digits there load, anything else is a decode error, however far out.
        FileCase{"LongSurplusDigitsLoad", LongS3() + std::string(100000, 'E') + "\r\n" + kRec, "", 2},
        FileCase{"LongSurplusLowerCase", LongS3() + std::string(100000, 'E') + "e\n" + kRec,
                 "decode error in 1", 0},
        FileCase{"LongSurplusBlank", kRec + "\n" + LongS3() + std::string(600, '0') + " 0",
                 "decode error in 2", 1},
        FileCase{"LongHeaderNotChecked", "S0" + std::string(100000, 'z') + "\n" + kRec, "", 1}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(SRecordFile, RefusedRecordIsAnAddressErrorOnItsLine) {
  const std::string text = "S0030000FC\n" + kRec + "\n\n" + kRec + "\n";
  MemoryLineSource src(text);
  test::RecordingSink sink;
  sink.refuseFrom = 2;
  EXPECT_EQ(DecodeErrorText(DecodeSRecordFile(src, sink)), "address error in 4");
  ASSERT_EQ(sink.records.size(), 1u);
  EXPECT_EQ(sink.records[0], (test::PlacedRecord{0x0100, {1, 2, 3}}));
}

// A source whose read fails after some lines.
class FailingSource final : public LineSource {
 public:
  explicit FailingSource(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  void Rewind() override { next_ = 0; }
  LineStatus Next(std::string_view& line) override {
    if (next_ >= lines_.size()) return LineStatus::ReadError;
    line = lines_[next_++];
    return LineStatus::Line;
  }

 private:
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

TEST(HexDecoders, ReadErrorNamesTheLineThatCouldNotBeRead) {
  FailingSource s({kRec, kRec});
  test::RecordingSink sink;
  EXPECT_EQ(DecodeErrorText(DecodeSRecordFile(s, sink)), "file read error in 3");
  FailingSource i({test::ILine(0, 0, {1})});
  EXPECT_EQ(DecodeErrorText(DecodeIntelHexFile(i, sink)), "file read error in 2");
}

TEST(HexDecoders, DecoderRewindsTheSource) {
  const std::string text = kRec + "\n" + kRec + "\n";
  MemoryLineSource src(text);
  std::string_view line;
  ASSERT_EQ(src.Next(line), LineStatus::Line);  // the loader's look at the first line
  test::RecordingSink sink;
  EXPECT_TRUE(DecodeSRecordFile(src, sink).ok());
  EXPECT_EQ(sink.records.size(), 2u);
}

}  // namespace
}  // namespace flash
