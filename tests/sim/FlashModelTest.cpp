// The flash cells: erased to FFH, programming only clears bits.
#include <gtest/gtest.h>

#include "sim/FlashModel.h"

namespace flash::sim {
namespace {

FlashModel TwoRegions() { return FlashModel({{0x0000, 0x00FF}, {0x1000, 0x100F}}); }

TEST(FlashModel, ProgrammingClearsBitsOnly) {
  struct Case {
    uint8_t before, value, after;
    bool ok;
  };
  const Case cases[] = {
      {0xFF, 0x5A, 0x5A, true},
      {0x5A, 0x5A, 0x5A, true},   // programming the same value again
      {0x5A, 0x0A, 0x0A, true},   // clearing more bits
      {0x0A, 0x5A, 0x0A, false},  // would need 0 -> 1
  };
  for (const Case& c : cases) {
    FlashModel f = TwoRegions();
    f.Poke(0x10, c.before);
    EXPECT_EQ(f.Program(0x10, c.value), c.ok) << int(c.before) << "/" << int(c.value);
    EXPECT_EQ(f.Read(0x10), c.after);
  }
}

TEST(FlashModel, OutsideTheRegionsReadsErasedAndIgnoresWrites) {
  FlashModel f = TwoRegions();
  EXPECT_TRUE(f.Program(0x0800, 0x00));
  f.Poke(0x0800, 0x00);
  EXPECT_EQ(f.Read(0x0800), kErased);
  EXPECT_FALSE(f.Contains(0x0100));
  EXPECT_TRUE(f.Contains(0x100F));
  EXPECT_FALSE(f.Contains(0x1010));
}

TEST(FlashModel, FirstNotBlankLooksAcrossRegionsAndRanges) {
  FlashModel f = TwoRegions();
  EXPECT_FALSE(f.FirstNotBlank(0, 0xFFFFFFFF));
  f.Poke(0x100F, 0x7F);
  f.Poke(0x0080, 0x00);
  EXPECT_EQ(f.FirstNotBlank(0, 0xFFFFFFFF), 0x0080u);
  EXPECT_EQ(f.FirstNotBlank(0x0081, 0xFFFFFFFF), 0x100Fu);
  EXPECT_FALSE(f.FirstNotBlank(0x1000, 0x100E));
  f.EraseAll();
  EXPECT_FALSE(f.FirstNotBlank(0, 0xFFFFFFFF));
}

TEST(FlashModel, DumpAndRestore) {
  FlashModel f = TwoRegions();
  f.FillPattern();
  std::vector<uint8_t> dump = f.Dump();
  ASSERT_EQ(dump.size(), 0x110u);
  EXPECT_EQ(dump[0x100], PatternByte(0x1000)) << "the second region follows the first";
  FlashModel g = TwoRegions();
  EXPECT_TRUE(g.Restore(dump));
  EXPECT_EQ(g.Dump(), dump);
  dump.pop_back();
  EXPECT_FALSE(g.Restore(dump));
}

}  // namespace
}  // namespace flash::sim
