#pragma once
// The serial devices present on this machine, with what a user needs to pick
// one: its stable name, the USB adapter behind it, the COMn that
// Customize.ini maps to it, and whether this user may open it now. The
// inventory never opens a device: an open can reset a board through DTR.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flash {

// Where the inventory looks. The environment can move both roots, so that
// tests describe a machine of their own: FLASH_SYSFS_ROOT (default "/sys")
// and FLASH_DEV_ROOT (default "/dev"), each a directory without a trailing
// separator. /proc (who holds a device) is always the real one.
struct InventoryRoots {
  std::string sysfs = "/sys";
  std::string dev = "/dev";
};
InventoryRoots InventoryRootsFromEnvironment();

enum class PortAccess {
  Ok,            // this user may open it for reading and writing, and nobody holds it
  NoPermission,  // access(2) refuses reading or writing
  Busy,          // another open descriptor or a lock holds it
  Unknown,       // the platform does not tell without opening it
};

struct PortHolder {
  long pid = 0;
  std::string command;  // the program's name, when the system tells it
};

struct SerialDevice {
  // The name to use: the first /dev/serial/by-id link that leads to the
  // device (it survives replugging into another socket), else the node.
  std::string name;
  std::string kernelName;          // "ttyUSB0"
  std::string node;                // the device node, "/dev/ttyUSB0"
  std::vector<std::string> links;  // every by-id link that leads to it, sorted
  std::string driver;              // "ftdi_sio", "cdc_acm", "serial8250"; empty when unknown

  bool usb = false;  // vendorId..product below are known
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::string serialNumber;
  std::string manufacturer;
  std::string product;
  // The FTDI driver's latency timer in milliseconds, when it has one.
  std::optional<int> latencyTimerMs;

  // COMn of section [Ports] of Customize.ini naming this device (compared
  // after links are resolved); 0 for none. Without a key, COMn is
  // ttyS<n-1>: comByDefault tells that case.
  int comNumber = 0;
  bool comByDefault = false;

  PortAccess access = PortAccess::Unknown;
  std::string accessError;      // the system's words when access(2) refused
  std::string ownerGroup;       // the node's group, for NoPermission
  bool userInGroup = false;     // this process has that group
  bool groupListsUser = false;  // the group lists this user: a new login grants it
  std::vector<PortHolder> holders;  // processes that hold it open or locked

  bool IsFtdi() const { return driver == "ftdi_sio" || (usb && vendorId == 0x0403); }
};

// The serial devices present: /dev/serial/by-id/*, ttyUSB*, ttyACM* and the
// ttyS* that have a UART, ordered by kind and then by number. stationDir
// (with its separator) holds the Customize.ini whose [Ports] is compared.
// Linux reads sysfs; other systems list what they can name cheaply.
std::vector<SerialDevice> ListSerialDevices(const std::string& stationDir,
                                            const InventoryRoots& roots);

// "0403:6001"
std::string UsbIdText(const SerialDevice& d);
// One line on the access: "ok", "busy: PID 1234 (minicom)", "no permission:
// group dialout, you are not in it", ...
std::string AccessText(const SerialDevice& d);

// What flashcli --port names, when it names a device rather than COMn.
struct PortSpec {
  bool isDevice = false;  // a path, or usb:VID:PID[:SERIAL]
  std::string device;     // the path to open
  int comNumber = 0;      // COMn that [Ports] maps to it; 0 for none
};

// Whether text names a device: a path (it holds a separator) or
// usb:VID:PID[:SERIAL] with hexadecimal VID and PID (SERIAL compared
// without regard to case). A usb: spec must match exactly one device of the
// inventory. False with the reason in error (naming what matched) when the
// spec is malformed, matches none or matches several; text that names no
// device (COMn) gives true with isDevice false.
bool ResolvePortSpec(const std::string& text, const std::string& stationDir,
                     const InventoryRoots& roots, PortSpec& spec, std::string& error);

// COMn of [Ports] in stationDir's Customize.ini that leads to path, after
// links are resolved on both sides; 0 for none.
int MappedComNumber(const std::string& stationDir, const std::string& path);

// path with every symbolic link resolved; path itself when that fails.
std::string ResolvedDevicePath(const std::string& path);

}  // namespace flash
