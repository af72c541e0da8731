#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/LineSource.h"
#include "support/TempDir.h"

namespace flash {
namespace {

std::vector<std::string> Lines(LineSource& src) {
  std::vector<std::string> out;
  std::string_view line;
  while (src.Next(line) == LineStatus::Line) out.emplace_back(line);
  return out;
}

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

class LineSplitTest : public ::testing::TestWithParam<SplitCase> {};

// The file and the memory source must agree with each other and the rule.
TEST_P(LineSplitTest, FileAndMemoryAgree) {
  const SplitCase& c = GetParam();
  MemoryLineSource mem(c.text);
  EXPECT_EQ(Lines(mem), c.lines);
  test::TempDir dir;
  dir.Write("f.hex", c.text);
  FileLineSource file;
  ASSERT_TRUE(file.Open(dir.File("f.hex")));
  EXPECT_EQ(Lines(file), c.lines);
  file.Rewind();
  EXPECT_EQ(Lines(file), c.lines);
}

const std::size_t kBlock = FileLineSource::kReadBlock;

INSTANTIATE_TEST_SUITE_P(
    Texts, LineSplitTest,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"OneEmptyLine", "\n", {""}},
        SplitCase{"NoFinalTerminator", "a\nb", {"a", "b"}},
        SplitCase{"CrLfRemoved", "a\r\n\r\nb\r\n", {"a", "", "b"}},
        SplitCase{"OnlyOneCrRemoved", "a\r\r\n", {"a\r"}},
        SplitCase{"LoneCrKept", "x\ry\nz\r", {"x\ry", "z\r"}},
        SplitCase{"BlanksKept", " a \t\n", {" a \t"}},
        // Lines that cross a read block, end on its last byte, or outgrow it.
        SplitCase{"CrossesBlock", std::string(kBlock - 3, 'A') + "\nBCDEFG\nH",
                  {std::string(kBlock - 3, 'A'), "BCDEFG", "H"}},
        SplitCase{"LfIsLastByteOfBlock", std::string(kBlock - 1, 'A') + "\nB",
                  {std::string(kBlock - 1, 'A'), "B"}},
        SplitCase{"CrLfSplitByBlock", std::string(kBlock - 1, 'A') + "\r\nB",
                  {std::string(kBlock - 1, 'A'), "B"}},
        SplitCase{"LongerThanThreeBlocks", "S\n" + std::string(3 * kBlock + 17, '7') + "\r\nE\n",
                  {"S", std::string(3 * kBlock + 17, '7'), "E"}},
        SplitCase{"LongLastLineWithoutTerminator", std::string(2 * kBlock, 'Z'),
                  {std::string(2 * kBlock, 'Z')}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(FileLineSource, OpenFailsForMissingFileAndDirectory) {
  test::TempDir dir;
  FileLineSource f;
  EXPECT_FALSE(f.Open(dir.File("missing.hex")));
  EXPECT_FALSE(f.Open(dir.Path()));
  EXPECT_FALSE(f.Open(""));
}

}  // namespace
}  // namespace flash
