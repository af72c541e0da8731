#include "support/FakeSysfs.h"

#include <filesystem>
#include <fstream>

namespace flash::test {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

// A symbolic link, replacing what is there; its target's directory made.
void Link(const fs::path& target, const fs::path& link) {
  fs::create_directories(link.parent_path());
  std::error_code ignored;
  fs::remove(link, ignored);
  fs::create_symlink(target, link);
}

}  // namespace

FakeSerialTree::FakeSerialTree() {
  sys_ = dir_.Path() + "sys";
  dev_ = dir_.Path() + "dev";
  fs::create_directories(sys_ + "/class/tty");
  fs::create_directories(dev_);
}

FakeSerialTree::Usb FakeSerialTree::Ftdi(const std::string& serial, const std::string& byId,
                                         std::optional<int> latencyMs) {
  Usb usb;
  usb.serial = serial;
  usb.byId = byId;
  usb.latencyMs = latencyMs;
  return usb;
}

FakeSerialTree::Usb FakeSerialTree::Acm(const std::string& vendor, const std::string& product,
                                        const std::string& serial, const std::string& byId) {
  Usb usb;
  usb.vendor = vendor;
  usb.product = product;
  usb.serial = serial;
  usb.manufacturer = "Board Maker";
  usb.productName = "Eval Board";
  usb.driver = "cdc_acm";
  usb.byId = byId;
  return usb;
}

std::string FakeSerialTree::Environment() const {
  return "FLASH_SYSFS_ROOT='" + sys_ + "' FLASH_DEV_ROOT='" + dev_ + "' ";
}

void FakeSerialTree::AddUsb(const std::string& kernel, const Usb& usb,
                            const std::string& nodeTarget) {
  const std::string name = "1-" + std::to_string(++usbDevices_);
  const fs::path device = fs::path(sys_) / "devices/pci0000:00/0000:00:14.0/usb1" / name;
  WriteFile(device / "idVendor", usb.vendor + "\n");
  WriteFile(device / "idProduct", usb.product + "\n");
  if (!usb.serial.empty()) WriteFile(device / "serial", usb.serial + "\n");
  if (!usb.manufacturer.empty()) WriteFile(device / "manufacturer", usb.manufacturer + "\n");
  if (!usb.productName.empty()) WriteFile(device / "product", usb.productName + "\n");
  const fs::path interface = device / (name + ":1.0");
  // A usb-serial driver hangs a port device below the interface; cdc_acm
  // serves the interface itself.
  const bool usbSerial = usb.driver != "cdc_acm";
  const fs::path port = usbSerial ? interface / kernel : interface;
  fs::create_directories(port);
  const fs::path drivers = fs::path(sys_) / (usbSerial ? "bus/usb-serial/drivers" : "bus/usb/drivers");
  fs::create_directories(drivers / usb.driver);
  Link(drivers / usb.driver, port / "driver");
  if (usb.latencyMs) WriteFile(port / "latency_timer", std::to_string(*usb.latencyMs) + "\n");
  const fs::path classDir = port / "tty" / kernel;
  WriteFile(classDir / "dev", "188:0\n");
  Link(port, classDir / "device");
  Link(classDir, fs::path(sys_) / "class/tty" / kernel);

  if (nodeTarget.empty()) WriteFile(Node(kernel), "");
  else Link(nodeTarget, Node(kernel));
  if (!usb.byId.empty()) Link("../../" + kernel, ById(usb.byId));
}

void FakeSerialTree::AddSerial8250(const std::string& kernel, int type) {
  const fs::path port = fs::path(sys_) / "devices/platform/serial8250" / ("serial8250:0." + kernel.substr(4));
  fs::create_directories(fs::path(sys_) / "bus/serial-base/drivers/port");
  fs::create_directories(port);
  Link(fs::path(sys_) / "bus/serial-base/drivers/port", port / "driver");
  const fs::path classDir = port / "tty" / kernel;
  WriteFile(classDir / "type", std::to_string(type) + "\n");
  Link(port, classDir / "device");
  Link(classDir, fs::path(sys_) / "class/tty" / kernel);
  WriteFile(Node(kernel), "");
}

void FakeSerialTree::AddBareNode(const std::string& kernel) { WriteFile(Node(kernel), ""); }

void FakeSerialTree::AddDanglingById(const std::string& name) {
  Link("../../ttyUSB99", ById(name));
}

}  // namespace flash::test
