// Windows names its serial ports COMn itself, and the DOS device table lists
// the ones present without opening any. Who holds a port, and the USB
// adapter behind it, would take the setup API; the list says unknown.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/Profile.h"
#include "base/Settings.h"
#include "link/SerialInventory.h"

namespace flash {
namespace {

// Every DOS device name, NUL separated; the table grows while ports come and go.
std::vector<char> DosDeviceNames() {
  std::vector<char> buffer(64 * 1024);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = QueryDosDeviceA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n != 0) {
      buffer.resize(n);
      return buffer;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    buffer.resize(buffer.size() * 4);
  }
  return {};
}

// The number of "COMn", 0 for any other name.
int ComNumberOf(const char* name) {
  if (_strnicmp(name, "COM", 3) != 0 || name[3] == '\0') return 0;
  for (const char* p = name + 3; *p; ++p)
    if (*p < '0' || *p > '9') return 0;
  const long n = std::strtol(name + 3, nullptr, 10);
  return n >= 1 && n <= 256 ? static_cast<int>(n) : 0;
}

}  // namespace

std::string ResolvedDevicePath(const std::string& path) { return path; }

std::vector<SerialDevice> ListSerialDevices(const std::string& stationDir, const InventoryRoots&) {
  std::vector<SerialDevice> out;
  const std::vector<char> names = DosDeviceNames();
  for (std::size_t at = 0; at < names.size() && names[at] != '\0';
       at += std::strlen(names.data() + at) + 1) {
    const int n = ComNumberOf(names.data() + at);
    if (n == 0) continue;
    SerialDevice d;
    d.kernelName = "COM" + std::to_string(n);
    d.node = "\\\\.\\" + d.kernelName;
    d.name = d.node;
    d.comNumber = MappedComNumber(stationDir, d.node);
    const std::string key = "COM" + std::to_string(n);
    if (d.comNumber == 0 &&
        profile::GetString(stationDir + kCustomizeFile, "Ports", key, "", 4095).empty()) {
      d.comNumber = n;
      d.comByDefault = true;
    }
    out.push_back(std::move(d));
  }
  std::sort(out.begin(), out.end(),
            [](const SerialDevice& a, const SerialDevice& b) { return a.comNumber < b.comNumber; });
  return out;
}

}  // namespace flash
