#include <gtest/gtest.h>

#include "image/HexDecoders.h"
#include "image/HexTestUtil.h"

namespace flash {
namespace {

using test::ILine;

const std::string kData = ILine(0x00, 0x0010, {0xAA, 0xBB});

struct LineCase {
  const char* name;
  std::string line;
  IntelLineResult result;
};

class IntelHexLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(IntelHexLineTest, Result) {
  uint8_t bytes[kIntelHexMaxBytes];
  IntelHexFields f;
  EXPECT_EQ(DecodeIntelHexLine(GetParam().line, bytes, &f), GetParam().result);
}

std::string LongRecord() { return ILine(0x00, 0, std::vector<uint8_t>(255, 0x11)); }  // 260 pairs

INSTANTIATE_TEST_SUITE_P(
    Lines, IntelHexLineTest,
    ::testing::Values(
        LineCase{"Data", kData, IntelLineResult::Good},
        LineCase{"EmptyData", ILine(0x00, 0x1234, {}), IntelLineResult::Good},
        LineCase{"NoColon", kData.substr(1), IntelLineResult::NotRecord},
        LineCase{"LowerCase", ":0400000AdeadbeefCC", IntelLineResult::Malformed},
        LineCase{"ColonAlone", ":", IntelLineResult::Malformed},
        LineCase{"TrailingCr", kData + "\r", IntelLineResult::Malformed},
        LineCase{"TrailingBlank", kData + " ", IntelLineResult::Malformed},
        LineCase{"OneSurplusDigit", kData + "0", IntelLineResult::Good},
        LineCase{"TwoSurplusDigits", kData + "00", IntelLineResult::Malformed},
        LineCase{"WrongChecksum", kData.substr(0, kData.size() - 2) + "00", IntelLineResult::Malformed},
        LineCase{"EndOfFile", ":00000001FF", IntelLineResult::Good},
        LineCase{"EndWithData", ILine(0x01, 0, {0}), IntelLineResult::WrongCount},
        LineCase{"Segment", ILine(0x02, 0, {0x10, 0x00}), IntelLineResult::Good},
        LineCase{"SegmentShort", ILine(0x02, 0, {0x10}), IntelLineResult::WrongCount},
        LineCase{"StartSegment", ILine(0x03, 0, {1, 2, 3, 4}), IntelLineResult::Good},
        LineCase{"StartSegmentShort", ILine(0x03, 0, {1, 2}), IntelLineResult::WrongCount},
        LineCase{"Linear", ILine(0x04, 0, {0x00, 0x01}), IntelLineResult::Good},
        LineCase{"LinearLong", ILine(0x04, 0, {0, 1, 2}), IntelLineResult::WrongCount},
        LineCase{"StartLinear", ILine(0x05, 0, {1, 2, 3, 4}), IntelLineResult::Good},
        LineCase{"StartLinearShort", ILine(0x05, 0, {1, 2}), IntelLineResult::WrongCount},
        // Unknown types pass the line check; the file loop refuses them.
        LineCase{"Type06", ILine(0x06, 0, {1}), IntelLineResult::Good},
        LineCase{"FullLength", LongRecord(), IntelLineResult::Good},
        LineCase{"PairsAfterThe260thIgnored", LongRecord() + "ABCDEF0123", IntelLineResult::Good},
        LineCase{"PairsAfterThe260thMustBeDigits", LongRecord() + "AB-D", IntelLineResult::Malformed}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(IntelHexLine, AddressIsOffsetOrNewBase) {
  uint8_t bytes[kIntelHexMaxBytes];
  IntelHexFields f;
  ASSERT_EQ(DecodeIntelHexLine(kData, bytes, &f), IntelLineResult::Good);
  EXPECT_EQ(f.type, 0);
  EXPECT_EQ(f.count, 2);
  EXPECT_EQ(f.address, 0x0010u);
  EXPECT_EQ(f.data[0], 0xAA);
  EXPECT_EQ(f.data[1], 0xBB);
  ASSERT_EQ(DecodeIntelHexLine(ILine(0x02, 0x5555, {0x12, 0x34}), bytes, &f), IntelLineResult::Good);
  EXPECT_EQ(f.address, 0x12340u);
  ASSERT_EQ(DecodeIntelHexLine(ILine(0x04, 0x5555, {0x12, 0x34}), bytes, &f), IntelLineResult::Good);
  EXPECT_EQ(f.address, 0x12340000u);
}

struct FileCase {
  const char* name;
  std::string text;
  std::string error;
  std::vector<test::PlacedRecord> placed;
};

class IntelHexFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(IntelHexFileTest, Decodes) {
  MemoryLineSource src(GetParam().text);
  test::RecordingSink sink;
  EXPECT_EQ(DecodeErrorText(DecodeIntelHexFile(src, sink)), GetParam().error);
  EXPECT_EQ(sink.records, GetParam().placed);
}

const std::string kEnd = ":00000001FF";

INSTANTIATE_TEST_SUITE_P(
    Files, IntelHexFileTest,
    ::testing::Values(
        FileCase{"EndRecordStopsReading", kData + "\n" + kEnd + "\nnot a record\n", "",
                 {{0x10, {0xAA, 0xBB}}}},
        FileCase{"NoEndRecord", kData + "\n" + kData, "", {{0x10, {0xAA, 0xBB}}, {0x10, {0xAA, 0xBB}}}},
        FileCase{"Linear", ILine(0x04, 0, {0x00, 0x01}) + "\n" + kData + "\n", "",
                 {{0x00010010, {0xAA, 0xBB}}}},
        FileCase{"Segment", ILine(0x02, 0, {0x10, 0x00}) + "\n" + kData + "\n", "",
                 {{0x00010010, {0xAA, 0xBB}}}},
        FileCase{"LaterBaseWins",
                 ILine(0x04, 0, {0x00, 0x01}) + "\n" + ILine(0x02, 0, {0x00, 0x20}) + "\n" + kData, "",
                 {{0x00000210, {0xAA, 0xBB}}}},
        FileCase{"StartRecordsSkipped",
                 ILine(0x03, 0, {1, 2, 3, 4}) + "\n" + ILine(0x05, 0, {1, 2, 3, 4}) + "\n" + kData, "",
                 {{0x10, {0xAA, 0xBB}}}},
        FileCase{"EmptyDataRecordPlacedEmpty", ILine(0x00, 0x0000, {}), "", {{0, {}}}},
        FileCase{"Type06", kData + "\n" + ILine(0x06, 0, {1}), "decode error in 2", {{0x10, {0xAA, 0xBB}}}},
        FileCase{"TypeFF", ILine(0xFF, 0, {}), "decode error in 1", {}},
        FileCase{"StartSegmentCount2", ILine(0x03, 0, {1, 2}), "record error in 1", {}},
        FileCase{"EndWithCount", "\n" + ILine(0x01, 0, {7}), "record error in 2", {}},
        FileCase{"NotARecord", kData + "\n\nS1030000FC", "file error in 3", {{0x10, {0xAA, 0xBB}}}},
        FileCase{"LowerCase", kData + "\n:02001000aabb8A", "decode error in 2", {{0x10, {0xAA, 0xBB}}}},
        FileCase{"ColonAlone", ":\n", "decode error in 1", {}},
        // A line longer than any record: what lies beyond the 260 decoded
        // pairs must still be hex digits.
        FileCase{"LongSurplusDigitsLoad",
                 ILine(0x00, 0x0000, std::vector<uint8_t>(255, 1)) + std::string(90000, 'A') + "\n" + kData,
                 "", {{0, std::vector<uint8_t>(255, 1)}, {0x10, {0xAA, 0xBB}}}},
        FileCase{"LongSurplusCarriageReturn",
                 kData + "\n" + ILine(0x00, 0x0000, std::vector<uint8_t>(255, 1)) + std::string(9000, 'A') + "\r",
                 "decode error in 2", {{0x10, {0xAA, 0xBB}}}},
        FileCase{"LongLineNotARecord", std::string(90000, 'A'), "file error in 1", {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(IntelHexFile, RefusedRecordIsAnAddressError) {
  const std::string text = ":020000040001F9\n" + kData + "\n";
  MemoryLineSource src(text);
  test::RecordingSink sink;
  sink.refuseFrom = 1;
  EXPECT_EQ(DecodeErrorText(DecodeIntelHexFile(src, sink)), "address error in 2");
}

TEST(IntelHexFile, BaseStartsAtZeroOnEveryDecode) {
  const std::string text = ILine(0x04, 0, {0x00, 0x01}) + "\n";
  MemoryLineSource src(text);
  test::RecordingSink sink;
  ASSERT_TRUE(DecodeIntelHexFile(src, sink).ok());
  MemoryLineSource second(kData);
  ASSERT_TRUE(DecodeIntelHexFile(second, sink).ok());
  ASSERT_EQ(sink.records.size(), 1u);
  EXPECT_EQ(sink.records[0].address, 0x10u);
}

}  // namespace
}  // namespace flash
