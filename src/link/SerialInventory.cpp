// The parts of the serial inventory every platform shares: the roots, the
// texts, and what flashcli --port names.
#include "link/SerialInventory.h"

#include <cstdio>
#include <cstdlib>

#include "base/Profile.h"
#include "base/Settings.h"

namespace flash {
namespace {

// [Ports] takes COM1 to COM256, as --port does.
constexpr int kMaxComNumber = 256;

std::string RootFrom(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  std::string root = value && *value ? value : fallback;
  while (root.size() > 1 && (root.back() == '/' || root.back() == '\\')) root.pop_back();
  return root;
}

// 1 to 4 hexadecimal digits.
bool ParseUsbId(const std::string& text, uint16_t& id) {
  if (text.empty() || text.size() > 4) return false;
  unsigned value = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return false;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  id = static_cast<uint16_t>(value);
  return true;
}

std::vector<std::string> SplitColons(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t colon = text.find(':', from);
    parts.push_back(text.substr(from, colon == std::string::npos ? colon : colon - from));
    if (colon == std::string::npos) return parts;
    from = colon + 1;
  }
}

std::string MatchList(const std::vector<const SerialDevice*>& matches) {
  std::string text;
  for (const SerialDevice* d : matches) {
    text += "\n  " + d->name + " (" + d->kernelName + ", " + UsbIdText(*d);
    if (!d->serialNumber.empty()) text += ", serial " + d->serialNumber;
    text += ")";
  }
  return text;
}

bool ResolveUsbSpec(const std::string& text, const std::string& stationDir,
                    const InventoryRoots& roots, PortSpec& spec, std::string& error) {
  const std::vector<std::string> parts = SplitColons(text);
  uint16_t vid = 0, pid = 0;
  if (parts.size() < 3 || parts.size() > 4 || !ParseUsbId(parts[1], vid) ||
      !ParseUsbId(parts[2], pid) || (parts.size() == 4 && parts[3].empty())) {
    error = "--port " + text + ": a USB adapter is named usb:VID:PID or usb:VID:PID:SERIAL "
            "(VID and PID in hexadecimal, such as usb:0403:6001)";
    return false;
  }
  const std::vector<SerialDevice> devices = ListSerialDevices(stationDir, roots);
  std::vector<const SerialDevice*> same, matches;
  for (const SerialDevice& d : devices) {
    if (!d.usb || d.vendorId != vid || d.productId != pid) continue;
    same.push_back(&d);
    if (parts.size() < 4 || profile::EqualsNoCase(d.serialNumber, parts[3])) matches.push_back(&d);
  }
  if (matches.size() == 1) {
    spec.isDevice = true;
    spec.device = matches[0]->name;
    spec.comNumber = matches[0]->comNumber;
    return true;
  }
  if (matches.empty()) {
    error = "--port " + text + ": no such USB serial device is present";
    if (!same.empty()) error += "; with that VID:PID there are:" + MatchList(same);
    else error += " (flashcli ports lists the serial devices)";
  } else {
    error = "--port " + text + " matches " + std::to_string(matches.size()) + " devices:" +
            MatchList(matches) +
            (parts.size() < 4 ? "\nadd :SERIAL, or name the device by its path"
                              : "\nname the device by its path");
  }
  return false;
}

}  // namespace

InventoryRoots InventoryRootsFromEnvironment() {
  InventoryRoots roots;
  roots.sysfs = RootFrom("FLASH_SYSFS_ROOT", "/sys");
  roots.dev = RootFrom("FLASH_DEV_ROOT", "/dev");
  return roots;
}

std::string UsbIdText(const SerialDevice& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", d.vendorId, d.productId);
  return text;
}

std::string AccessText(const SerialDevice& d) {
  switch (d.access) {
    case PortAccess::Ok:
      return "ok";
    case PortAccess::Unknown:
      return "unknown until opened";
    case PortAccess::Busy: {
      std::string text = "busy:";
      if (d.holders.empty()) text += " locked by another program";
      for (std::size_t i = 0; i < d.holders.size(); ++i) {
        text += (i ? ", PID " : " PID ") + std::to_string(d.holders[i].pid);
        if (!d.holders[i].command.empty()) text += " (" + d.holders[i].command + ")";
      }
      return text;
    }
    case PortAccess::NoPermission:
      break;
  }
  std::string text = "no permission";
  if (d.ownerGroup.empty()) return text + (d.accessError.empty() ? "" : ": " + d.accessError);
  text += ": group " + d.ownerGroup;
  if (d.userInGroup) return text + ", which you are in, may not read and write it";
  if (d.groupListsUser) return text + " lists you, but this login does not have it yet: log in again";
  return text + ", you are not in it (sudo adduser $USER " + d.ownerGroup + ", then log in again)";
}

int MappedComNumber(const std::string& stationDir, const std::string& path) {
  std::string text;
  if (!ReadRegularFile(stationDir + kCustomizeFile, &text)) return 0;
  const profile::IniIndex ini(text);
  const std::string wanted = ResolvedDevicePath(path);
  for (int n = 1; n <= kMaxComNumber; ++n) {
    auto mapped = ini.Find("Ports", "COM" + std::to_string(n));
    if (!mapped || mapped->empty()) continue;
    const std::string value(*mapped);
    if (value == path || ResolvedDevicePath(value) == wanted) return n;
  }
  return 0;
}

bool ResolvePortSpec(const std::string& text, const std::string& stationDir,
                     const InventoryRoots& roots, PortSpec& spec, std::string& error) {
  spec = PortSpec{};
  if (text.size() >= 4 && profile::EqualsNoCase(text.substr(0, 4), "usb:"))
    return ResolveUsbSpec(text, stationDir, roots, spec, error);
  if (text.find('/') == std::string::npos && text.find('\\') == std::string::npos) return true;
  spec.isDevice = true;
  spec.device = text;
  spec.comNumber = MappedComNumber(stationDir, text);
  return true;
}

}  // namespace flash
