#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "base/Session.h"
#include "image/HexLoader.h"
#include "support/TestSession.h"

namespace flash {
namespace {

struct Regions {
  std::vector<uint32_t> starts, ends;
  RegionView View() const { return {starts, ends}; }
};

// Two touching regions, as kTwoRegionCatalogue has them.
const Regions kTouching{{0x00000000, 0x00100000}, {0x000FFFFF, 0x00100FFF}};
// Gaps between the regions; the third lies in the high area.
const Regions kGaps{{0x00000000, 0x00200000, 0x20000000}, {0x0000FFFF, 0x0020FFFF, 0x2000FFFF}};
// Image base above 0.
const Regions kRaised{{0x00001000}, {0x001FFFFF}};
// Regions the catalogue would refuse: they leave the image areas.
const Regions kOversized{{0x00000000, 0x20000000}, {0x003FFFFF, 0x201FFFFF}};

struct PlaceCase {
  const char* name;
  const Regions* regions;
  uint32_t address;
  std::size_t count;
  bool accepted;
};

class PlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceTest, RangeRules) {
  const PlaceCase& c = GetParam();
  FlashImage image;
  image.SetBase(c.regions->starts[0]);
  image.Fill(0x00);
  std::vector<uint8_t> data(c.count, 0xA5);
  ImagePlacer placer(image, c.regions->View());
  PlaceResult r = placer.Place(c.address, data.data(), data.size());
  EXPECT_EQ(r == PlaceResult::Ok, c.accepted);
  if (!c.accepted) {
    // A refused record leaves no trace.
    std::vector<uint8_t> base(FlashImage::kBaseSize), high(FlashImage::kHighSize);
    EXPECT_EQ(std::memcmp(image.BaseArea(), base.data(), base.size()), 0);
    EXPECT_EQ(std::memcmp(image.HighArea(), high.data(), high.size()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Records, PlaceTest,
    ::testing::Values(
        PlaceCase{"EndsAtEndOfRegion0", &kTouching, 0x000FFFF0, 16, true},
        PlaceCase{"CrossesIntoTouchingRegion", &kTouching, 0x000FFFF1, 16, false},
        PlaceCase{"StartsAtRegion1", &kTouching, 0x00100000, 16, true},
        PlaceCase{"EndsAtEndOfLastRegion", &kTouching, 0x00100FF0, 16, true},
        PlaceCase{"EndsOneBeyondLastRegion", &kTouching, 0x00100FF1, 16, false},
        PlaceCase{"BelowRegion0", &kRaised, 0x00000FFF, 1, false},
        PlaceCase{"AtRegion0", &kRaised, 0x00001000, 1, true},
        PlaceCase{"LastByteOfRegion0", &kGaps, 0x0000FFFF, 1, true},
        PlaceCase{"ReachesIntoGap", &kGaps, 0x0000FFFF, 2, false},
        PlaceCase{"InGap", &kGaps, 0x00150000, 16, false},
        PlaceCase{"FromGapIntoRegion", &kGaps, 0x001FFFFF, 2, false},
        PlaceCase{"FirstByteOfRegion1", &kGaps, 0x00200000, 1, true},
        PlaceCase{"HighArea", &kGaps, 0x20000000, 256, true},
        PlaceCase{"EndOfHighRegion", &kGaps, 0x2000FFFF, 1, true},
        PlaceCase{"BeyondHighRegion", &kGaps, 0x2000FFFF, 2, false},
        // A record ending at 0x00100002 or 0x00100003 loads outside every region.
        PlaceCase{"EndsAt100003", &kGaps, 0x00100000, 4, true},
        PlaceCase{"EndsAt100002", &kGaps, 0x00100000, 3, true},
        PlaceCase{"EndsAt100001", &kGaps, 0x00100000, 2, false},
        PlaceCase{"EndsAt100004", &kGaps, 0x00100001, 4, false},
        // Wrapping to exactly 0x00100003 must not pass as that exception.
        PlaceCase{"WrapsTo100003", &kGaps, 0xFFFFFFFF, 0x00100005, false},
        PlaceCase{"WrapsPastTop", &kGaps, 0xFFFFFFF0, 32, false},
        PlaceCase{"EmptyAtZero", &kGaps, 0x00000000, 0, true},
        PlaceCase{"EmptyOutsideRegions", &kGaps, 0x50000000, 0, true},
        // Even regions that leave the image never lead to a write outside it.
        PlaceCase{"PastBaseArea", &kOversized, 0x002FFFF0, 32, false},
        PlaceCase{"BeyondBaseArea", &kOversized, 0x00300000, 1, false},
        PlaceCase{"InsideBaseAreaEnd", &kOversized, 0x002FFFF0, 16, true},
        PlaceCase{"PastHighArea", &kOversized, 0x200FFFF0, 32, false}),
    [](const auto& p) { return std::string(p.param.name); });

using Runs = std::vector<std::pair<uint32_t, std::size_t>>;

struct RunLog : StoreObserver {
  Runs stored, dropped;
  void Stored(uint32_t a, std::size_t n) override { stored.emplace_back(a, n); }
  void Dropped(uint32_t a, std::size_t n) override { dropped.emplace_back(a, n); }
};

// Base-area indices 0x100002 and 0x100003 are never stored, inside a region
// or not; the image base moves them with it.
struct NeverStoredCase {
  const char* name;
  const Regions* regions;
  uint32_t address;
  std::size_t count;
  Runs stored;
  Runs dropped;
};

class NeverStoredTest : public ::testing::TestWithParam<NeverStoredCase> {};

TEST_P(NeverStoredTest, FillByteStaysAndTheBytesAroundAreStored) {
  const NeverStoredCase& c = GetParam();
  std::vector<uint8_t> data(c.count);
  for (std::size_t i = 0; i < c.count; ++i) data[i] = static_cast<uint8_t>(0x11 + i);
  auto isStored = [&](uint32_t a) {
    for (const auto& [from, n] : c.stored)
      if (a >= from && a - from < n) return true;
    return false;
  };
  for (uint8_t fill : {uint8_t{0xEE}, uint8_t{0x00}}) {
    SCOPED_TRACE(static_cast<int>(fill));
    FlashImage image;
    image.SetBase(c.regions->starts[0]);
    image.Fill(fill);
    RunLog log;
    ImagePlacer placer(image, c.regions->View(), &log);
    ASSERT_EQ(placer.Place(c.address, data.data(), data.size()), PlaceResult::Ok);
    EXPECT_EQ(log.stored, c.stored);
    EXPECT_EQ(log.dropped, c.dropped);
    // The record's bytes where stored, the fill byte elsewhere, a little
    // beyond both ends as well.
    for (uint32_t a = c.address - 4; a < c.address + c.count + 4; ++a)
      EXPECT_EQ(image.At(a), isStored(a) ? data[a - c.address] : fill) << std::hex << a;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Indices, NeverStoredTest,
    ::testing::Values(
        // kRaised: base 0x1000, one region over base + 0x100002.
        NeverStoredCase{"InsideRegionCoversBoth", &kRaised, 0x00101000, 8,
                        {{0x00101000, 2}, {0x00101004, 4}}, {{0x00101002, 2}}},
        NeverStoredCase{"InsideRegionEndsOnTheFirst", &kRaised, 0x00101000, 3,
                        {{0x00101000, 2}}, {{0x00101002, 1}}},
        NeverStoredCase{"InsideRegionStartsOnTheSecond", &kRaised, 0x00101003, 4,
                        {{0x00101004, 3}}, {{0x00101003, 1}}},
        NeverStoredCase{"InsideRegionOnlyTheTwo", &kRaised, 0x00101002, 2, {}, {{0x00101002, 2}}},
        NeverStoredCase{"EndsJustBefore", &kRaised, 0x00100FF0, 18, {{0x00100FF0, 18}}, {}},
        NeverStoredCase{"StartsJustAfter", &kRaised, 0x00101004, 4, {{0x00101004, 4}}, {}},
        // The rule is about indices: with base 0x1000 address 0x00100002 is flash like any other.
        NeverStoredCase{"AddressesAreNotIndices", &kRaised, 0x00100000, 4, {{0x00100000, 4}}, {}},
        // kTouching: base 0, region 1 starts at 0x00100000.
        NeverStoredCase{"RegionStartingAtTheWord", &kTouching, 0x00100000, 16,
                        {{0x00100000, 2}, {0x00100004, 12}}, {{0x00100002, 2}}},
        // kGaps: no region there; the record loads only because it ends at 0x00100003.
        NeverStoredCase{"OutsideEveryRegion", &kGaps, 0x00100000, 4, {{0x00100000, 2}},
                        {{0x00100002, 2}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(PlaceDataRecord, ObserverSeesTheRunsStoredAndDropped) {
  RunLog log;
  FlashImage image;
  image.SetBase(0);
  ImagePlacer placer(image, kTouching.View(), &log);
  std::vector<uint8_t> data(16, 0);
  ASSERT_EQ(placer.Place(0x000FFFF8, data.data(), 8), PlaceResult::Ok);
  ASSERT_EQ(placer.Place(0x00100000, data.data(), 16), PlaceResult::Ok);
  ASSERT_EQ(placer.Place(0x00100003, data.data(), 2), PlaceResult::Ok);
  ASSERT_EQ(placer.Place(0x00100010, data.data(), 0), PlaceResult::Ok);  // empty: neither
  EXPECT_EQ(log.stored, (Runs{{0x000FFFF8, 8}, {0x00100000, 2}, {0x00100004, 12}, {0x00100004, 1}}));
  EXPECT_EQ(log.dropped, (Runs{{0x00100002, 2}, {0x00100003, 1}}));
  // A refused record over the two indices (it crosses into region 1) is not
  // reported as dropped either.
  std::vector<uint8_t> wide(0x20, 0);
  EXPECT_EQ(placer.Place(0x000FFFF0, wide.data(), wide.size()), PlaceResult::AddressError);
  EXPECT_EQ(log.dropped.size(), 2u);
  EXPECT_EQ(log.stored.size(), 4u);
}

TEST(PlaceDataRecord, LaterRecordOverwritesEarlierThroughTheSession) {
  test::TestSession t;
  SessionState& st = t.state();
  st.regionCount = 2;
  st.regionStarts[0] = 0x0;
  st.regionEnds[0] = 0xFFFF;
  st.regionStarts[1] = 0x20000000;
  st.regionEnds[1] = 0x2000FFFF;
  st.image.SetBase(0);
  const uint8_t first[] = {1, 2, 3, 4}, second[] = {9, 8};
  ASSERT_EQ(PlaceDataRecord(t.session, 0x20000010, first, 4), PlaceResult::Ok);
  ASSERT_EQ(PlaceDataRecord(t.session, 0x20000011, second, 2), PlaceResult::Ok);
  EXPECT_EQ(st.image.HighArea()[0x10], 1);
  EXPECT_EQ(st.image.HighArea()[0x11], 9);
  EXPECT_EQ(st.image.HighArea()[0x12], 8);
  EXPECT_EQ(st.image.HighArea()[0x13], 4);
  EXPECT_EQ(PlaceDataRecord(t.session, 0x00010000, first, 1), PlaceResult::AddressError);
  st.regionCount = 0;  // no device: nothing can be placed
  EXPECT_EQ(PlaceDataRecord(t.session, 0x0, first, 1), PlaceResult::AddressError);
}

}  // namespace
}  // namespace flash
