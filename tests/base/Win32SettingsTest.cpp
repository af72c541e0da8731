#include <gtest/gtest.h>

#include "base/Settings.h"
#include "support/TestSession.h"

namespace flash {
namespace {

// Above COM9 Windows opens a port only by its \\.\ name; [Ports] still wins.
TEST(Settings, ComDevicesOnWindows) {
  test::TestSession t;
  EXPECT_EQ(ComDevicePath(t.dir.Path(), 1), "\\\\.\\COM1");
  EXPECT_EQ(ComDevicePath(t.dir.Path(), 12), "\\\\.\\COM12");
  t.dir.Write("Customize.ini", "[Ports]\r\nCOM3 = \\\\.\\COM27 \r\n");
  EXPECT_EQ(ComDevicePath(t.dir.Path(), 3), "\\\\.\\COM27");
  EXPECT_EQ(ComDevicePath(t.dir.Path(), 4), "\\\\.\\COM4");
}

}  // namespace
}  // namespace flash
