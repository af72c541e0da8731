#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/Session.h"
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

TEST(PlaceDataRecord, KeptIndicesHoldTheFillByte) {
  FlashImage image;
  image.SetBase(0);
  image.Fill(0xEE);
  ImagePlacer placer(image, kGaps.View());
  const uint8_t data[] = {1, 2, 3, 4};
  ASSERT_EQ(placer.Place(0x00100000, data, 4), PlaceResult::Ok);
  EXPECT_EQ(image.At(0x00100000), 1);
  EXPECT_EQ(image.At(0x00100001), 2);
  EXPECT_EQ(image.At(0x00100002), 0xEE);
  EXPECT_EQ(image.At(0x00100003), 0xEE);
}

TEST(PlaceDataRecord, KeptIndicesInsideARegionAreFlashBytesLikeAnyOther) {
  // A dense file over a region that covers base + 0x100002: every byte must
  // reach the image, or the fill byte would be programmed in their place.
  FlashImage image;
  image.SetBase(0x1000);
  image.Fill(0xEE);
  ImagePlacer placer(image, kRaised.View());
  std::vector<uint8_t> data(8, 0x42);
  ASSERT_EQ(placer.Place(0x00101000, data.data(), data.size()), PlaceResult::Ok);
  for (uint32_t a = 0x00101000; a < 0x00101008; ++a) EXPECT_EQ(image.At(a), 0x42) << a;
}

TEST(PlaceDataRecord, ObserverSeesTheRunsActuallyStored) {
  struct Runs : StoreObserver {
    std::vector<std::pair<uint32_t, std::size_t>> runs;
    void Stored(uint32_t a, std::size_t n) override { runs.emplace_back(a, n); }
  } obs;
  FlashImage image;
  image.SetBase(0);
  ImagePlacer placer(image, kTouching.View(), &obs);
  std::vector<uint8_t> data(16, 0);
  ASSERT_EQ(placer.Place(0x000FFFF8, data.data(), 8), PlaceResult::Ok);
  ASSERT_EQ(placer.Place(0x00100000, data.data(), 16), PlaceResult::Ok);
  ASSERT_EQ(placer.Place(0x00100003, data.data(), 2), PlaceResult::Ok);
  // Region 1 covers 0x100002 and 0x100003, so nothing is held back there.
  EXPECT_EQ(obs.runs, (std::vector<std::pair<uint32_t, std::size_t>>{
                          {0x000FFFF8, 8}, {0x00100000, 16}, {0x00100003, 2}}));
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
