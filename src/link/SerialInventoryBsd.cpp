// The BSDs and macOS have no sysfs: the list is the device nodes whose names
// the USB and on-board serial drivers use (cuaU*, cuau*, cu.usbserial*,
// cu.usbmodem*), without the adapter's details. Access is what access(2)
// says; who holds a node is not looked up.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "link/SerialInventory.h"

namespace flash {
namespace {

bool SerialName(const std::string& name) {
  static constexpr const char* kPrefixes[] = {"cuaU", "cuau", "cu.usbserial", "cu.usbmodem"};
  for (const char* prefix : kPrefixes)
    if (name.compare(0, std::strlen(prefix), prefix) == 0 && name.size() > std::strlen(prefix))
      return true;
  return false;
}

// cuaU0.init and cuaU0.lock are the driver's setting nodes, not ports.
bool EndsWith(const std::string& name, const char* end) {
  const std::size_t n = std::strlen(end);
  return name.size() >= n && name.compare(name.size() - n, n, end) == 0;
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const std::string& stationDir,
                                            const InventoryRoots& roots) {
  std::vector<SerialDevice> out;
  DIR* dir = ::opendir(roots.dev.c_str());
  if (!dir) return out;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (!SerialName(name) || EndsWith(name, ".init") || EndsWith(name, ".lock")) continue;
    SerialDevice d;
    d.kernelName = name;
    d.node = roots.dev + "/" + name;
    d.name = d.node;
    if (::access(d.node.c_str(), R_OK | W_OK) == 0) {
      d.access = PortAccess::Ok;
    } else {
      d.access = PortAccess::NoPermission;
      d.accessError = std::strerror(errno);
    }
    d.comNumber = MappedComNumber(stationDir, d.node);
    out.push_back(std::move(d));
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end(),
            [](const SerialDevice& a, const SerialDevice& b) { return a.kernelName < b.kernelName; });
  return out;
}

}  // namespace flash
