#include <gtest/gtest.h>

#include "base/Settings.h"
#include "support/TestSession.h"

namespace flash {
namespace {

TEST(Settings, ComDevicesOnLinux) {
  test::TestSession t;
  EXPECT_EQ(ComDevicePath(t.dir.Path(), 1), "/dev/ttyS0");
  t.dir.Write("Customize.ini", "[Ports]\r\nCOM3 = /dev/serial/by-id/usb-x \r\n");
  EXPECT_EQ(ComDevicePath(t.dir.Path(), 3), "/dev/serial/by-id/usb-x");
  EXPECT_EQ(ComDevicePath(t.dir.Path(), 4), "/dev/ttyS3");
}

}  // namespace
}  // namespace flash
