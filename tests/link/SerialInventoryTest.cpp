// The serial inventory over fake sysfs and /dev trees: what it lists, what it
// reads about each device, which COMn names it, and who may open it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "base/Profile.h"
#include "link/SerialInventory.h"
#include "support/FakeSysfs.h"
#include "support/TempDir.h"

namespace flash::test {
namespace {

constexpr const char* kFtdiLink = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
constexpr const char* kAcmLink = "usb-Board_Maker_Eval_Board_0042-if00";

// An FTDI adapter, an ACM board, and the on-board UARTs of a PC.
struct Desk {
  Desk() {
    tree.AddUsb("ttyUSB0", FakeSerialTree::Ftdi("A50285BI", kFtdiLink, 16));
    tree.AddUsb("ttyACM0", FakeSerialTree::Acm("1d50", "60A1", "0042", kAcmLink));
    tree.AddSerial8250("ttyS0", 4);  // a 16550A
    tree.AddSerial8250("ttyS1", 0);  // reserved, nothing there
    tree.AddBareNode("ttyS2");       // no sysfs entry at all
  }
  std::vector<SerialDevice> List() const { return ListSerialDevices(station.Path(), tree.Roots()); }
  const SerialDevice* Find(const std::string& kernel) const {
    for (const SerialDevice& d : list)
      if (d.kernelName == kernel) return &d;
    return nullptr;
  }
  std::vector<std::string> Kernels() const {
    std::vector<std::string> names;
    for (const SerialDevice& d : list) names.push_back(d.kernelName);
    return names;
  }

  FakeSerialTree tree;
  TempDir station;
  std::vector<SerialDevice> list;
};

TEST(SerialInventory, ReadsTheUsbAdapterAboveEachPort) {
  Desk desk;
  desk.list = desk.List();
  EXPECT_EQ(desk.Kernels(), (std::vector<std::string>{"ttyUSB0", "ttyACM0", "ttyS0"}));

  const SerialDevice* ftdi = desk.Find("ttyUSB0");
  ASSERT_NE(ftdi, nullptr);
  EXPECT_EQ(ftdi->name, desk.tree.ById(kFtdiLink));  // the stable name comes first
  EXPECT_EQ(ftdi->node, desk.tree.Node("ttyUSB0"));
  EXPECT_EQ(ftdi->links, std::vector<std::string>{desk.tree.ById(kFtdiLink)});
  EXPECT_EQ(ftdi->driver, "ftdi_sio");
  EXPECT_TRUE(ftdi->usb);
  EXPECT_EQ(UsbIdText(*ftdi), "0403:6001");
  EXPECT_EQ(ftdi->serialNumber, "A50285BI");
  EXPECT_EQ(ftdi->manufacturer, "FTDI");
  EXPECT_EQ(ftdi->product, "FT232R USB UART");
  EXPECT_EQ(ftdi->latencyTimerMs, 16);
  EXPECT_TRUE(ftdi->IsFtdi());

  const SerialDevice* acm = desk.Find("ttyACM0");
  ASSERT_NE(acm, nullptr);
  EXPECT_EQ(acm->name, desk.tree.ById(kAcmLink));
  EXPECT_EQ(acm->driver, "cdc_acm");
  EXPECT_EQ(acm->vendorId, 0x1d50);
  EXPECT_EQ(acm->productId, 0x60a1);
  EXPECT_EQ(acm->serialNumber, "0042");
  EXPECT_EQ(acm->manufacturer, "Board Maker");
  EXPECT_EQ(acm->product, "Eval Board");
  EXPECT_FALSE(acm->latencyTimerMs);
  EXPECT_FALSE(acm->IsFtdi());

  const SerialDevice* uart = desk.Find("ttyS0");
  ASSERT_NE(uart, nullptr);
  EXPECT_EQ(uart->name, desk.tree.Node("ttyS0"));  // no by-id link: the node
  EXPECT_FALSE(uart->usb);
  EXPECT_EQ(uart->driver, "port");
}

TEST(SerialInventory, OrderIsByKindThenNumberAndLeftoversAreSkipped) {
  FakeSerialTree tree;
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyUSB0"}) tree.AddUsb(name, FakeSerialTree::Ftdi(""));
  tree.AddSerial8250("ttyS10", 4);
  tree.AddSerial8250("ttyS9", 4);
  tree.AddBareNode("ttyACM3");  // known to /dev only: still a port
  tree.AddBareNode("tty0");
  tree.AddBareNode("ttyUSBx");
  tree.AddDanglingById("usb-Gone_Adapter-if00-port0");
  TempDir station;
  std::vector<std::string> names;
  for (const SerialDevice& d : ListSerialDevices(station.Path(), tree.Roots()))
    names.push_back(d.kernelName);
  EXPECT_EQ(names, (std::vector<std::string>{"ttyUSB0", "ttyUSB2", "ttyUSB10", "ttyACM3", "ttyS9",
                                             "ttyS10"}));
}

TEST(SerialInventory, ComNumbersComeFromPortsAfterResolvingLinks) {
  Desk desk;
  // COM3 names the node behind the FTDI link, COM5 the ACM board's link,
  // COM7 a device that is not there.
  desk.station.Write("Customize.ini", "[Ports]\r\nCOM3=" + desk.tree.Node("ttyUSB0") +
                                          "\r\nCOM5=" + desk.tree.ById(kAcmLink) +
                                          "\r\nCOM7=" + desk.tree.Node("ttyUSB7") + "\r\n");
  desk.list = desk.List();
  EXPECT_EQ(desk.Find("ttyUSB0")->comNumber, 3);
  EXPECT_EQ(desk.Find("ttyACM0")->comNumber, 5);
  // ttyS0 of this tree is not the /dev/ttyS0 that COM1 defaults to.
  EXPECT_EQ(desk.Find("ttyS0")->comNumber, 0);
  EXPECT_EQ(MappedComNumber(desk.station.Path(), desk.tree.ById(kFtdiLink)), 3);
  EXPECT_EQ(MappedComNumber(desk.station.Path(), desk.tree.Node("ttyS0")), 0);
}

TEST(SerialInventory, ADeviceHeldOpenOrLockedIsBusyWithTheHoldersPid) {
  Desk desk;
  desk.list = desk.List();
  EXPECT_EQ(desk.Find("ttyUSB0")->access, PortAccess::Ok) << AccessText(*desk.Find("ttyUSB0"));

  const int fd = ::open(desk.tree.ById(kFtdiLink).c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  desk.list = desk.List();
  const SerialDevice* held = desk.Find("ttyUSB0");
  EXPECT_EQ(held->access, PortAccess::Busy);
  ASSERT_EQ(held->holders.size(), 1u);
  EXPECT_EQ(held->holders[0].pid, static_cast<long>(::getpid()));
  EXPECT_FALSE(held->holders[0].command.empty());
  EXPECT_EQ(AccessText(*held).rfind("busy: PID " + std::to_string(::getpid()) + " (", 0), 0u)
      << AccessText(*held);
  EXPECT_EQ(desk.Find("ttyACM0")->access, PortAccess::Ok);
  ::close(fd);

  // Opened under another name (a hard link), the descriptor does not lead to
  // the node by its path; a lock on it is found by the file itself.
  const std::string other = desk.station.File("other-name");
  ASSERT_EQ(::link(desk.tree.Node("ttyACM0").c_str(), other.c_str()), 0);
  const int otherFd = ::open(other.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(otherFd, 0);
  EXPECT_EQ(desk.List()[1].access, PortAccess::Ok);
  ASSERT_EQ(::flock(otherFd, LOCK_EX | LOCK_NB), 0);
  desk.list = desk.List();
  EXPECT_EQ(desk.Find("ttyACM0")->access, PortAccess::Busy);
  ASSERT_EQ(desk.Find("ttyACM0")->holders.size(), 1u);
  EXPECT_EQ(desk.Find("ttyACM0")->holders[0].pid, static_cast<long>(::getpid()));
  ::close(otherFd);
}

TEST(SerialInventory, NoPermissionNamesTheGroupThatOwnsTheDevice) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may open every device";
  Desk desk;
  ASSERT_EQ(::chmod(desk.tree.Node("ttyUSB0").c_str(), 0), 0);
  desk.list = desk.List();
  const SerialDevice* d = desk.Find("ttyUSB0");
  EXPECT_EQ(d->access, PortAccess::NoPermission);
  const group* g = ::getgrgid(::getegid());
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(d->ownerGroup, g->gr_name);
  EXPECT_TRUE(d->userInGroup);
  EXPECT_NE(AccessText(*d).find("no permission: group " + std::string(g->gr_name)),
            std::string::npos)
      << AccessText(*d);
}

struct SpecCase {
  const char* text;
  bool ok;
  const char* device;  // "FTDI", "FTDI2", "ACM", "" or a literal path
  const char* errorPart;
};

class PortSpecs : public ::testing::TestWithParam<SpecCase> {};

TEST_P(PortSpecs, NameOneDeviceOrSayWhatMatched) {
  Desk desk;
  desk.tree.AddUsb("ttyUSB1", FakeSerialTree::Ftdi("B7", "usb-FTDI_FT232R_USB_UART_B7-if00-port0"));
  desk.station.Write("Customize.ini", "[Ports]\r\nCOM4=" + desk.tree.Node("ttyUSB1") + "\r\n");
  const SpecCase& c = GetParam();
  PortSpec spec;
  std::string error;
  const bool ok = ResolvePortSpec(c.text, desk.station.Path(), desk.tree.Roots(), spec, error);
  ASSERT_EQ(ok, c.ok) << error;
  if (!ok) {
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    return;
  }
  const std::string want = std::string(c.device) == "FTDI"    ? desk.tree.ById(kFtdiLink)
                           : std::string(c.device) == "FTDI2" ? desk.tree.ById("usb-FTDI_FT232R_USB_UART_B7-if00-port0")
                           : std::string(c.device) == "ACM"   ? desk.tree.ById(kAcmLink)
                                                              : std::string(c.device);
  EXPECT_EQ(spec.isDevice, !want.empty());
  EXPECT_EQ(spec.device, want);
  EXPECT_EQ(spec.comNumber, std::string(c.device) == "FTDI2" ? 4 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    SerialInventory, PortSpecs,
    ::testing::Values(
        SpecCase{"COM3", true, "", ""},
        SpecCase{"usb:1d50:60a1", true, "ACM", ""},
        SpecCase{"USB:1D50:60A1:0042", true, "ACM", ""},
        SpecCase{"usb:403:6001:a50285bi", true, "FTDI", ""},  // serials match in any case
        SpecCase{"usb:0403:6001:B7", true, "FTDI2", ""},
        SpecCase{"usb:0403:6001", false, "", "matches 2 devices:"},
        SpecCase{"usb:0403:6001", false, "", "usb-FTDI_FT232R_USB_UART_B7-if00-port0 (ttyUSB1"},
        SpecCase{"usb:0403:6001:NOPE", false, "", "with that VID:PID there are:"},
        SpecCase{"usb:1234:5678", false, "", "no such USB serial device is present"},
        SpecCase{"usb:0403", false, "", "usb:VID:PID or usb:VID:PID:SERIAL"},
        SpecCase{"usb:04g3:6001", false, "", "in hexadecimal"},
        SpecCase{"usb:12345:6001", false, "", "in hexadecimal"},
        SpecCase{"usb:0403:6001:", false, "", "usb:VID:PID or usb:VID:PID:SERIAL"},
        SpecCase{"/dev/ttyUSB0", true, "/dev/ttyUSB0", ""}));

TEST(SerialInventory, ADevicePathKeepsTheComThatPortsMapsToIt) {
  Desk desk;
  desk.station.Write("Customize.ini", "[Ports]\r\nCOM2=" + desk.tree.ById(kFtdiLink) + "\r\n");
  PortSpec spec;
  std::string error;
  ASSERT_TRUE(ResolvePortSpec(desk.tree.Node("ttyUSB0"), desk.station.Path(), desk.tree.Roots(),
                              spec, error));
  EXPECT_TRUE(spec.isDevice);
  EXPECT_EQ(spec.device, desk.tree.Node("ttyUSB0"));
  EXPECT_EQ(spec.comNumber, 2);
}

// Restores one environment variable when it goes.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SerialInventory, RootsComeFromTheEnvironment) {
  {
    ScopedEnv sys("FLASH_SYSFS_ROOT", nullptr);
    ScopedEnv dev("FLASH_DEV_ROOT", "");
    const InventoryRoots roots = InventoryRootsFromEnvironment();
    EXPECT_EQ(roots.sysfs, "/sys");
    EXPECT_EQ(roots.dev, "/dev");
  }
  ScopedEnv sys("FLASH_SYSFS_ROOT", "/tmp/fake/sys/");
  ScopedEnv dev("FLASH_DEV_ROOT", "/tmp/fake/dev");
  const InventoryRoots roots = InventoryRootsFromEnvironment();
  EXPECT_EQ(roots.sysfs, "/tmp/fake/sys");
  EXPECT_EQ(roots.dev, "/tmp/fake/dev");
}

}  // namespace
}  // namespace flash::test
