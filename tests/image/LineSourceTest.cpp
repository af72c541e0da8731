#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/LineSource.h"
#include "support/TempDir.h"

namespace flash {
namespace {

// What a source hands out for one line: the kept part, and whether what was
// cut off is all hex digits.
struct Seen {
  std::string kept;
  bool cutPartIsHex;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> Lines(LineSource& src) {
  std::vector<Seen> out;
  std::string_view line;
  while (src.Next(line) == LineStatus::Line) out.push_back({std::string(line), src.CutPartIsHex()});
  return out;
}

// The rule, applied to whole lines.
std::vector<Seen> Expected(const std::vector<std::string>& lines) {
  std::vector<Seen> out;
  for (const std::string& l : lines) {
    bool hex = true;
    for (std::size_t i = kKeptLineChars; i < l.size(); ++i)
      hex = hex && ((l[i] >= '0' && l[i] <= '9') || (l[i] >= 'A' && l[i] <= 'F'));
    out.push_back({l.substr(0, kKeptLineChars), hex});
  }
  return out;
}

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;  // whole, before cutting
};

class LineSplitTest : public ::testing::TestWithParam<SplitCase> {};

// The file and the memory source must agree with each other and the rule.
TEST_P(LineSplitTest, FileAndMemoryAgree) {
  const SplitCase& c = GetParam();
  MemoryLineSource mem(c.text);
  EXPECT_EQ(Lines(mem), Expected(c.lines));
  test::TempDir dir;
  dir.Write("f.hex", c.text);
  FileLineSource file;
  ASSERT_TRUE(file.Open(dir.File("f.hex")));
  EXPECT_EQ(Lines(file), Expected(c.lines));
  file.Rewind();
  EXPECT_EQ(Lines(file), Expected(c.lines));
}

const std::size_t kBlock = FileLineSource::kReadBlock;
const std::size_t kKept = kKeptLineChars;

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
                  {std::string(2 * kBlock, 'Z')}},
        // The cut: what lies beyond the kept characters is only checked.
        SplitCase{"ExactlyKept", std::string(kKept, 'F') + "\r\n", {std::string(kKept, 'F')}},
        SplitCase{"OneBeyondKept", std::string(kKept, 'F') + "g\n", {std::string(kKept, 'F') + "g"}},
        SplitCase{"LoneCrBeyondKept", std::string(kKept, 'F') + "\r\r\n",
                  {std::string(kKept, 'F') + "\r"}},
        SplitCase{"LowerCaseFarAcrossBlocks",
                  "S1\n" + std::string(2 * kBlock + 5, 'E') + "a" + std::string(9, 'E') + "\r\nS9\n",
                  {"S1", std::string(2 * kBlock + 5, 'E') + "a" + std::string(9, 'E'), "S9"}},
        SplitCase{"BadLastCharWithoutTerminator", std::string(kBlock + 40, '0') + "\r",
                  {std::string(kBlock + 40, '0') + "\r"}}),
    [](const auto& p) { return std::string(p.param.name); });

// A line of any length costs no more memory than a record: the source keeps
// its first characters only. A file far larger than a read block, one line.
TEST(FileLineSource, FiftyMegabyteLineIsCheckedWithoutBeingHeld) {
  test::TempDir dir;
  std::string text = "S1" + std::string(50u << 20, 'C');
  dir.Write("long.mhx", text);
  text.back() = 'c';
  dir.Write("bad.mhx", text);
  text.clear();
  text.shrink_to_fit();
  for (auto [name, hex] : {std::pair{"long.mhx", true}, std::pair{"bad.mhx", false}}) {
    FileLineSource f;
    ASSERT_TRUE(f.Open(dir.File(name)));
    std::string_view line;
    ASSERT_EQ(f.Next(line), LineStatus::Line);
    EXPECT_EQ(line.size(), kKept);
    EXPECT_EQ(f.CutPartIsHex(), hex) << name;
    EXPECT_EQ(f.Next(line), LineStatus::End);
  }
}

TEST(FileLineSource, OpenFailsForMissingFileAndDirectory) {
  test::TempDir dir;
  FileLineSource f;
  EXPECT_FALSE(f.Open(dir.File("missing.hex")));
  EXPECT_FALSE(f.Open(dir.Path()));
  EXPECT_FALSE(f.Open(""));
}

}  // namespace
}  // namespace flash
