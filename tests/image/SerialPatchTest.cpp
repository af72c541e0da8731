#include "image/SerialPatch.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/FlashImage.h"

namespace flash {
namespace {

using Bytes = std::vector<uint8_t>;

SerialSpec Parsed(const std::string& text) {
  SerialSpec spec;
  std::string error;
  EXPECT_TRUE(ParseSerialSpec(text, spec, error)) << text << ": " << error;
  return spec;
}

std::string ParseError(const std::string& text) {
  SerialSpec spec{0x55, 3, SerialFormat::Bcd};
  std::string error;
  EXPECT_FALSE(ParseSerialSpec(text, spec, error)) << text;
  EXPECT_EQ(spec, (SerialSpec{0x55, 3, SerialFormat::Bcd})) << "untouched on failure";
  return error;
}

Bytes Encoded(uint64_t number, const std::string& specText) {
  Bytes bytes;
  std::string error;
  EXPECT_TRUE(EncodeSerial(number, Parsed(specText), bytes, error)) << error;
  return bytes;
}

bool Fits(uint64_t number, const std::string& specText) {
  Bytes bytes;
  std::string error;
  const bool ok = EncodeSerial(number, Parsed(specText), bytes, error);
  if (!ok) {
    EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
  }
  return ok;
}

TEST(SerialPatch, ParsesAddressWidthAndFormat) {
  EXPECT_EQ(Parsed("0x1F0:4"), (SerialSpec{0x1F0, 4, SerialFormat::Le}));
  EXPECT_EQ(Parsed("1F0:4"), Parsed("0x1F0:4"));
  EXPECT_EQ(Parsed("0X1f0:4:le"), Parsed("1F0:4"));
  EXPECT_EQ(Parsed("20000000:2:be"), (SerialSpec{0x20000000, 2, SerialFormat::Be}));
  EXPECT_EQ(Parsed("0:8:bcd"), (SerialSpec{0, 8, SerialFormat::Bcd}));
  EXPECT_EQ(Parsed("FFFFFFF8:8:ascii"), (SerialSpec{0xFFFFFFF8, 8, SerialFormat::Ascii}));
  EXPECT_EQ(Parsed("FFFFFFFF:1"), (SerialSpec{0xFFFFFFFF, 1, SerialFormat::Le}));
  EXPECT_EQ(Parsed("00000001F0:1:BCD"), (SerialSpec{0x1F0, 1, SerialFormat::Bcd}));
}

TEST(SerialPatch, NamesTheBadPart) {
  EXPECT_NE(ParseError("").find("ADDR:WIDTH"), std::string::npos);
  EXPECT_NE(ParseError("1F0").find("ADDR:WIDTH"), std::string::npos);
  EXPECT_NE(ParseError(":4").find("address is missing"), std::string::npos);
  EXPECT_NE(ParseError("0x:4").find("address is missing"), std::string::npos);
  EXPECT_NE(ParseError("1G0:4").find("not hexadecimal"), std::string::npos);
  EXPECT_NE(ParseError("-1:4").find("not hexadecimal"), std::string::npos);
  EXPECT_NE(ParseError("100000000:1").find("above FFFFFFFF"), std::string::npos);
  EXPECT_NE(ParseError("1F0:").find("width is missing"), std::string::npos);
  EXPECT_NE(ParseError("1F0:0").find("from 1 to 8"), std::string::npos);
  EXPECT_NE(ParseError("1F0:9").find("from 1 to 8"), std::string::npos);
  EXPECT_NE(ParseError("1F0:x").find("from 1 to 8"), std::string::npos);
  EXPECT_NE(ParseError("1F0:+4").find("from 1 to 8"), std::string::npos);
  EXPECT_NE(ParseError("1F0:4:").find("none of le, be, bcd, ascii"), std::string::npos);
  EXPECT_NE(ParseError("1F0:4:hex").find("\"hex\""), std::string::npos);
  EXPECT_NE(ParseError("1F0:4:le:x").find("more than three parts"), std::string::npos);
  EXPECT_NE(ParseError("FFFFFFFF:2").find("past address FFFFFFFF"), std::string::npos);
  EXPECT_NE(ParseError("FFFFFFF9:8").find("past address FFFFFFFF"), std::string::npos);
}

TEST(SerialPatch, EncodesEveryFormat) {
  EXPECT_EQ(Encoded(0x12345678, "0:4"), (Bytes{0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(Encoded(0x12345678, "0:4:be"), (Bytes{0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(Encoded(0x1234, "0:4:be"), (Bytes{0, 0, 0x12, 0x34}));
  EXPECT_EQ(Encoded(12345678, "0:4:bcd"), (Bytes{0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(Encoded(42, "0:3:bcd"), (Bytes{0x00, 0x00, 0x42}));
  EXPECT_EQ(Encoded(42, "0:6:ascii"), (Bytes{'0', '0', '0', '0', '4', '2'}));
  EXPECT_EQ(Encoded(0, "0:1:ascii"), (Bytes{'0'}));
  EXPECT_EQ(Encoded(UINT64_MAX, "0:8"), Bytes(8, 0xFF));
  EXPECT_EQ(Encoded(0x0102030405060708, "0:8:be"), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(SerialPatch, NumbersThatFitExactlyAndOneTooMany) {
  EXPECT_TRUE(Fits(255, "0:1"));
  EXPECT_FALSE(Fits(256, "0:1"));
  EXPECT_TRUE(Fits(0xFFFFFF, "0:3:be"));
  EXPECT_FALSE(Fits(0x1000000, "0:3:be"));
  EXPECT_TRUE(Fits(0xFFFFFFFFFFFFFF, "0:7"));
  EXPECT_FALSE(Fits(0x100000000000000, "0:7"));
  EXPECT_TRUE(Fits(99, "0:1:bcd"));
  EXPECT_FALSE(Fits(100, "0:1:bcd"));
  EXPECT_TRUE(Fits(9999999999999999, "0:8:bcd"));
  EXPECT_FALSE(Fits(10000000000000000, "0:8:bcd"));
  EXPECT_EQ(Encoded(9999999999999999, "0:8:bcd"), Bytes(8, 0x99));
  EXPECT_TRUE(Fits(9, "0:1:ascii"));
  EXPECT_FALSE(Fits(10, "0:1:ascii"));
  EXPECT_TRUE(Fits(99999999, "0:8:ascii"));
  EXPECT_FALSE(Fits(100000000, "0:8:ascii"));
}

TEST(SerialPatch, TheBytesMustLieInOneRegion) {
  const uint32_t starts[] = {0x0000, 0x1000, 0xFFFFFF00};
  const uint32_t ends[] = {0x0FFF, 0x1FFF, 0xFFFFFFFF};
  auto fits = [&](const std::string& text) { return SerialFitsRegions(Parsed(text), starts, ends, 3); };
  EXPECT_TRUE(fits("0:4"));
  EXPECT_TRUE(fits("FFC:4"));   // ends on the region's last byte
  EXPECT_FALSE(fits("FFD:4"));  // one byte into the next region, adjacent or not
  EXPECT_TRUE(fits("1000:8"));
  EXPECT_TRUE(fits("1FFF:1"));
  EXPECT_FALSE(fits("2000:1"));
  EXPECT_TRUE(fits("FFFFFFF8:8"));  // up to the very top without wrapping
  EXPECT_TRUE(fits("FFFFFFFF:1"));
  EXPECT_FALSE(fits("FFFFFEFF:2"));
  EXPECT_FALSE(SerialFitsRegions(Parsed("0:1"), starts, ends, 0));
}

TEST(SerialPatch, AppliesIntoTheImage) {
  FlashImage image;
  image.Fill(0xFF);
  std::string why;
  ASSERT_TRUE(ApplySerial(image, Parsed("1F0:4:be"), Encoded(0xA1B2C3D4, "0:4:be"), &why)) << why;
  EXPECT_EQ(image.At(0x1EF), 0xFF);
  EXPECT_EQ(image.At(0x1F0), 0xA1);
  EXPECT_EQ(image.At(0x1F3), 0xD4);
  EXPECT_EQ(image.At(0x1F4), 0xFF);

  const uint32_t highEnd = FlashImage::kHighStart + FlashImage::kHighSize;
  const SerialSpec last{highEnd - 2, 2, SerialFormat::Le};
  EXPECT_TRUE(ApplySerial(image, last, Bytes{1, 2}));
  EXPECT_EQ(image.At(highEnd - 1), 2);
  const SerialSpec over{highEnd - 1, 2, SerialFormat::Le};
  EXPECT_FALSE(ApplySerial(image, over, Bytes{7, 7}, &why));
  EXPECT_NE(why.find("do not lie"), std::string::npos);
  EXPECT_EQ(image.At(highEnd - 1), 2) << "untouched";
  EXPECT_FALSE(ApplySerial(image, SerialSpec{FlashImage::kBaseSize, 1, SerialFormat::Le}, Bytes{1}));
}

}  // namespace
}  // namespace flash
