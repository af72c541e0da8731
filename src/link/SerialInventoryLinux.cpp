// Linux names its serial devices in /dev and describes them in sysfs: the
// driver, the USB device above the port, the FTDI latency timer. Who holds a
// device is read from /proc (open descriptors and /proc/locks), never by
// opening it, which would raise DTR and can reset the board.
//
// A ttyS* node exists for every port the 8250 driver reserves, UART or not;
// it is listed when sysfs has its device and its "type" attribute is not 0
// (PORT_UNKNOWN: nothing answered at that address). A ttyS* without a
// "type" attribute but with a device is listed: other drivers lack it.
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "base/FileUtil.h"
#include "base/Profile.h"
#include "base/Settings.h"
#include "link/SerialInventory.h"

namespace flash {
namespace {

// A directory read through RAII.
std::vector<std::string> DirectoryNames(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return names;
  while (const dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.emplace_back(e->d_name);
  }
  ::closedir(d);
  return names;
}

std::string LinkTarget(const std::string& path) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string Trimmed(std::string text) {
  const std::size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  return text.substr(b, text.find_last_not_of(" \t\r\n") - b + 1);
}

// A sysfs attribute, without its line end; nullopt when missing.
std::optional<std::string> Attribute(const std::string& path) {
  std::string text;
  if (!ReadRegularFile(path, &text)) return std::nullopt;
  return Trimmed(text);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The kinds the inventory names, in the order it lists them; -1 for others.
int KindOf(const std::string& kernelName) {
  static constexpr const char* kKinds[] = {"ttyUSB", "ttyACM", "ttyS"};
  for (int k = 0; k < 3; ++k) {
    const std::size_t n = std::strlen(kKinds[k]);
    if (kernelName.size() > n && kernelName.compare(0, n, kKinds[k]) == 0 &&
        std::all_of(kernelName.begin() + static_cast<long>(n), kernelName.end(),
                    [](char c) { return c >= '0' && c <= '9'; }))
      return k;
  }
  return -1;
}

// ttyUSB2 before ttyUSB10: kind, then the text before the number, then the number.
bool ListOrder(const SerialDevice& a, const SerialDevice& b) {
  auto key = [](const SerialDevice& d) {
    const int kind = KindOf(d.kernelName);
    std::size_t digits = d.kernelName.size();
    while (digits > 0 && d.kernelName[digits - 1] >= '0' && d.kernelName[digits - 1] <= '9')
      --digits;
    const std::string number = d.kernelName.substr(digits);
    return std::make_tuple(kind < 0 ? 99 : kind, d.kernelName.substr(0, digits),
                           number.size() > 18 ? ULLONG_MAX : std::strtoull(number.c_str(), nullptr, 10),
                           d.kernelName);
  };
  return key(a) < key(b);
}

bool HasUart(const InventoryRoots& roots, const std::string& kernelName) {
  const std::string dir = roots.sysfs + "/class/tty/" + kernelName;
  if (!Exists(dir + "/device")) return false;
  const auto type = Attribute(dir + "/type");
  return !type || (*type != "0" && !type->empty());
}

uint16_t HexId(const std::string& text) {
  return static_cast<uint16_t>(std::strtoul(text.c_str(), nullptr, 16));
}

// The driver, the latency timer and the USB device above the port.
void ReadSysfs(const InventoryRoots& roots, SerialDevice& d) {
  const std::string classDir = roots.sysfs + "/class/tty/" + d.kernelName;
  const std::string driver = LinkTarget(classDir + "/device/driver");
  if (!driver.empty()) d.driver = FileNamePart(driver);
  std::string latency;
  if (auto t = Attribute(classDir + "/device/latency_timer")) latency = *t;
  else if (auto u = Attribute(roots.sysfs + "/bus/usb-serial/devices/" + d.kernelName +
                              "/latency_timer"))
    latency = *u;
  if (!latency.empty()) d.latencyTimerMs = std::atoi(latency.c_str());

  const std::string top = ResolvedDevicePath(roots.sysfs);
  std::string dir = ResolvedDevicePath(classDir + "/device");
  if (dir == classDir + "/device") return;  // no device link
  while (dir.size() > top.size() && dir.compare(0, top.size(), top) == 0) {
    const auto vendor = Attribute(dir + "/idVendor");
    const auto product = Attribute(dir + "/idProduct");
    if (vendor && product) {
      d.usb = true;
      d.vendorId = HexId(*vendor);
      d.productId = HexId(*product);
      d.serialNumber = Attribute(dir + "/serial").value_or("");
      d.manufacturer = Attribute(dir + "/manufacturer").value_or("");
      d.product = Attribute(dir + "/product").value_or("");
      return;
    }
    const std::size_t slash = dir.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    dir.resize(slash);
  }
}

// Every process's open descriptors and the file locks, by what they lead to.
class Holders {
 public:
  Holders() {
    for (const std::string& name : DirectoryNames("/proc")) {
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      const std::string fdDir = "/proc/" + name + "/fd/";
      for (const std::string& fd : DirectoryNames(fdDir)) {
        const std::string target = LinkTarget(fdDir + fd);
        if (!target.empty() && target[0] == '/') byPath_[target].insert(std::atol(name.c_str()));
      }
    }
    std::string locks;
    if (ReadRegularFile("/proc/locks", &locks)) ReadLocks(locks);
  }

  std::vector<PortHolder> Of(const std::string& resolvedPath) const {
    std::set<long> pids;
    if (auto it = byPath_.find(resolvedPath); it != byPath_.end()) pids = it->second;
    struct stat st {};
    if (::stat(resolvedPath.c_str(), &st) == 0) {
      auto it = byFile_.find({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)});
      if (it != byFile_.end()) pids.insert(it->second.begin(), it->second.end());
    }
    std::vector<PortHolder> out;
    for (long pid : pids) {
      PortHolder h;
      h.pid = pid;
      h.command = Attribute("/proc/" + std::to_string(pid) + "/comm").value_or("");
      out.push_back(h);
    }
    return out;
  }

 private:
  // "1: FLOCK  ADVISORY  WRITE 1234 00:05:321 0 EOF": the pid, then the
  // file as hexadecimal major:minor and the decimal inode.
  void ReadLocks(const std::string& text) {
    std::size_t from = 0;
    while (from < text.size()) {
      std::size_t end = text.find('\n', from);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(from, end - from);
      from = end + 1;
      unsigned major = 0, minor = 0;
      unsigned long long inode = 0;
      long pid = 0;
      char kind[16] = {}, mode[16] = {}, access[16] = {};
      const std::size_t colon = line.find(':');
      // A line with "->" is a process waiting for the lock: it holds nothing.
      if (colon == std::string::npos || line.find("->") != std::string::npos) continue;
      if (std::sscanf(line.c_str() + colon + 1, "%15s %15s %15s %ld %x:%x:%llu", kind, mode, access, &pid, &major, &minor,
                      &inode) != 7)
        continue;
      byFile_[{static_cast<uint64_t>(makedev(major, minor)), inode}].insert(pid);
    }
  }

  std::map<std::string, std::set<long>> byPath_;
  std::map<std::pair<uint64_t, uint64_t>, std::set<long>> byFile_;
};

void ReadGroup(const std::string& node, SerialDevice& d) {
  struct stat st {};
  if (::stat(node.c_str(), &st) != 0) return;
  std::vector<char> buffer(16384);
  group g {};
  group* found = nullptr;
  if (getgrgid_r(st.st_gid, &g, buffer.data(), buffer.size(), &found) == 0 && found)
    d.ownerGroup = g.gr_name;
  else
    d.ownerGroup = std::to_string(st.st_gid);
  d.userInGroup = getegid() == st.st_gid;
  const int n = getgroups(0, nullptr);
  std::vector<gid_t> mine(static_cast<std::size_t>(n > 0 ? n : 0));
  if (n > 0 && getgroups(n, mine.data()) == n)
    d.userInGroup = d.userInGroup || std::find(mine.begin(), mine.end(), st.st_gid) != mine.end();
  if (!found) return;
  std::vector<char> pwBuffer(16384);
  passwd pw {};
  passwd* me = nullptr;
  if (getpwuid_r(geteuid(), &pw, pwBuffer.data(), pwBuffer.size(), &me) != 0 || !me) return;
  d.groupListsUser = pw.pw_gid == st.st_gid;
  for (char** member = g.gr_mem; member && *member; ++member)
    if (std::strcmp(*member, pw.pw_name) == 0) d.groupListsUser = true;
}

void ReadAccess(const Holders& holders, SerialDevice& d) {
  const std::string resolved = ResolvedDevicePath(d.node);
  d.holders = holders.Of(resolved);
  if (::access(d.node.c_str(), R_OK | W_OK) != 0) {
    d.access = PortAccess::NoPermission;
    d.accessError = std::strerror(errno);
    ReadGroup(d.node, d);
    return;
  }
  d.access = d.holders.empty() ? PortAccess::Ok : PortAccess::Busy;
}

void FindCom(const std::string& stationDir, SerialDevice& d) {
  d.comNumber = MappedComNumber(stationDir, d.node);
  if (d.comNumber != 0 || KindOf(d.kernelName) != 2) return;
  // Without a key COMn is ttyS<n-1>: say so when that is where it leads.
  const long n = std::strtol(d.kernelName.c_str() + 4, nullptr, 10) + 1;
  if (n < 1 || n > 256) return;
  const std::string key = "COM" + std::to_string(n);
  if (!profile::GetString(stationDir + kCustomizeFile, "Ports", key, "", 4095).empty()) return;
  if (ResolvedDevicePath(ComDevicePath(stationDir, static_cast<int>(n))) ==
      ResolvedDevicePath(d.node)) {
    d.comNumber = static_cast<int>(n);
    d.comByDefault = true;
  }
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const std::string& stationDir,
                                            const InventoryRoots& roots) {
  std::map<std::string, SerialDevice> byTarget;  // keyed by the resolved node
  for (const std::string& name : DirectoryNames(roots.dev)) {
    const int kind = KindOf(name);
    if (kind < 0 || (kind == 2 && !HasUart(roots, name))) continue;
    const std::string node = roots.dev + "/" + name;
    if (!Exists(node)) continue;
    SerialDevice& d = byTarget[ResolvedDevicePath(node)];
    d.kernelName = name;
    d.node = node;
  }
  const std::string byId = roots.dev + "/serial/by-id";
  for (const std::string& name : DirectoryNames(byId)) {
    const std::string link = byId + "/" + name;
    if (!Exists(link)) continue;  // a link left behind by an adapter unplugged
    SerialDevice& d = byTarget[ResolvedDevicePath(link)];
    if (d.node.empty()) {
      d.node = ResolvedDevicePath(link);
      d.kernelName = FileNamePart(LinkTarget(link));
    }
    d.links.push_back(link);
  }
  const Holders holders;
  std::vector<SerialDevice> out;
  for (auto& [target, d] : byTarget) {
    std::sort(d.links.begin(), d.links.end());
    d.name = d.links.empty() ? d.node : d.links.front();
    ReadSysfs(roots, d);
    ReadAccess(holders, d);
    FindCom(stationDir, d);
    out.push_back(std::move(d));
  }
  std::sort(out.begin(), out.end(), ListOrder);
  return out;
}

}  // namespace flash
