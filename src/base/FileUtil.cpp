// The file services that need no platform of their own.
#include "base/FileUtil.h"

namespace flash {

// FLASH_STATION_NAME is the project's name, given by the build.
const char* StationName() { return FLASH_STATION_NAME; }

bool ReadRegularFile(const std::string& path, std::string* data, FileIdentity* identity) {
  InputFile in;
  if (!in.Open(path)) return false;
  std::string out;
  // The size is a hint only: the file may grow or shrink while it is read.
  if (in.Identity().size < (uint64_t{1} << 30)) out.reserve(static_cast<std::size_t>(in.Identity().size));
  char buf[64 * 1024];
  for (;;) {
    long long n = in.Read(buf, sizeof buf);
    if (n < 0) return false;
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  *data = std::move(out);
  if (identity) *identity = in.Identity();
  return true;
}

}  // namespace flash
