#pragma once
// A machine's serial devices as sysfs and /dev describe them, built in a
// temporary directory: the serial inventory reads it through its roots (or
// FLASH_SYSFS_ROOT and FLASH_DEV_ROOT for a program it starts).
//
//   FakeSerialTree tree;
//   tree.AddUsb("ttyUSB0", FakeSerialTree::Ftdi("A50285BI", "usb-FTDI_A5-if00", 16));
//   ListSerialDevices(station, tree.Roots());
#include <optional>
#include <string>

#include "link/SerialInventory.h"
#include "support/TempDir.h"

namespace flash::test {

class FakeSerialTree {
 public:
  FakeSerialTree();

  // The roots, without a trailing separator.
  const std::string& Sys() const { return sys_; }
  const std::string& Dev() const { return dev_; }
  InventoryRoots Roots() const { return {sys_, dev_}; }
  // "FLASH_SYSFS_ROOT='...' FLASH_DEV_ROOT='...' ", to put before a command.
  std::string Environment() const;

  struct Usb {
    std::string vendor = "0403";
    std::string product = "6001";
    std::string serial;
    std::string manufacturer = "FTDI";
    std::string productName = "FT232R USB UART";
    std::string driver = "ftdi_sio";  // cdc_acm: the port is the interface itself
    std::optional<int> latencyMs;     // the FTDI driver's latency_timer
    std::string byId;                 // name under serial/by-id; empty for none
  };
  // An FT232R adapter (0403:6001), and a CDC ACM board.
  static Usb Ftdi(const std::string& serial, const std::string& byId = "",
                  std::optional<int> latencyMs = std::nullopt);
  static Usb Acm(const std::string& vendor, const std::string& product, const std::string& serial,
                 const std::string& byId);
  // A USB serial port kernel (ttyUSBn, ttyACMn) on a USB device of its own.
  // Its node is a plain file, or a symbolic link to nodeTarget when given
  // (a pseudo-terminal standing in for the adapter).
  void AddUsb(const std::string& kernel, const Usb& usb, const std::string& nodeTarget = "");
  // ttySn as the 8250 driver shows it; type 0 is a port with no UART.
  void AddSerial8250(const std::string& kernel, int type);
  // A node in /dev that sysfs knows nothing about.
  void AddBareNode(const std::string& kernel);
  // A by-id link to a node that is gone (an adapter unplugged).
  void AddDanglingById(const std::string& name);

  std::string Node(const std::string& kernel) const { return dev_ + "/" + kernel; }
  std::string ById(const std::string& name) const { return dev_ + "/serial/by-id/" + name; }

 private:
  TempDir dir_;
  std::string sys_;
  std::string dev_;
  int usbDevices_ = 0;
};

}  // namespace flash::test
