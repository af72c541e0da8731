// What the serial inventory asks of every POSIX system alike.
#include <cstdlib>
#include <string>

#include "link/SerialInventory.h"

namespace flash {

std::string ResolvedDevicePath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string out = resolved;
  std::free(resolved);
  return out;
}

}  // namespace flash
