#include "base/ProgressDialog.h"

#include <gtest/gtest.h>

#include "support/FakeFrontEnd.h"

namespace flash {
namespace {

using test::FakeFrontEnd;

TEST(ProgressDialog, OpensCentredWithTheLayoutOfItsStyle) {
  FakeFrontEnd ui;
  ProgressDialog d(-1);
  ASSERT_TRUE(d.Open(ui));
  auto rec = ui.progress.at(0);
  EXPECT_EQ(d.Style(), 13);
  EXPECT_EQ(rec->buttonText, "Ok");
  EXPECT_TRUE(rec->buttonEnabled);
  EXPECT_EQ(rec->height, ProgressHeight::Full);
  EXPECT_EQ(rec->upper, 100);
  EXPECT_NE(std::find(rec->calls.begin(), rec->calls.end(), "centre"), rec->calls.end());

  struct Case {
    int style;
    const char* button;
    bool active;
    bool bar;
    ProgressHeight height;
  } cases[] = {
      {0, "", false, false, ProgressHeight::ToBar},
      {8, "", false, true, ProgressHeight::ToButton},
      {13, "Ok", true, true, ProgressHeight::Full},
      {14, "Cancel", true, true, ProgressHeight::Full},
      {-1, "Ok", true, true, ProgressHeight::Full},
  };
  for (const auto& c : cases) {
    d.SetLayout(c.style, false, std::nullopt);
    EXPECT_EQ(rec->buttonText, c.button) << c.style;
    EXPECT_EQ(rec->buttonEnabled, c.active) << c.style;
    EXPECT_EQ(d.CancelActive(), c.active) << c.style;
    EXPECT_EQ(rec->barEnabled, c.bar) << c.style;
    EXPECT_EQ(rec->height, c.height) << c.style;
  }
}

TEST(ProgressDialog, CheckCancelRules) {
  FakeFrontEnd ui;
  ProgressDialog d(8);
  ASSERT_TRUE(d.Open(ui));
  auto rec = ui.progress.at(0);
  d.PressButton();
  int pumps = rec->pumps;
  EXPECT_FALSE(d.CheckCancel());  // inactive: no pump, the press survives
  EXPECT_EQ(rec->pumps, pumps);
  d.SetLayout(14, false, std::nullopt);
  EXPECT_TRUE(d.CheckCancel());
  EXPECT_GT(rec->pumps, pumps);
  d.PressButton();
  d.PressButton();
  EXPECT_TRUE(d.CheckCancel());  // two presses, one answer
  EXPECT_FALSE(d.CheckCancel());
}

TEST(ProgressDialog, BarWritesItsPositionIntoTheCaption) {
  FakeFrontEnd ui;
  ProgressDialog d(8);
  ASSERT_TRUE(d.Open(ui));
  auto rec = ui.progress.at(0);
  d.SetBar(0, 3, 1, 0);
  EXPECT_EQ(rec->caption, "0 / 3");
  d.SetBar(0, 7, 1, 0);
  d.StepBar();
  EXPECT_EQ(rec->caption, "1 / 7");
  for (int i = 0; i < 6; ++i) d.StepBar();
  EXPECT_EQ(rec->caption, "7 / 7");
  EXPECT_EQ(rec->position, 7);
  d.SetLayout(13, false, std::string("Full Operation"));
  EXPECT_EQ(rec->caption, "Full Operation");
}

TEST(ProgressDialog, FailedOpenLeavesNoWindow) {
  FakeFrontEnd ui;
  ui.failProgressWindow = true;
  ProgressDialog d;
  EXPECT_FALSE(d.Open(ui));
  EXPECT_FALSE(d.IsOpen());
  d.ShowStatus("still safe");
  EXPECT_FALSE(d.CheckCancel());
}

}  // namespace
}  // namespace flash
