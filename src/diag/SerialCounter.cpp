#include "diag/SerialCounter.h"

#include "base/FileUtil.h"

namespace flash {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool ReadSerial(const std::string& path, uint64_t& n, std::string& error, bool* missing) {
  std::string content;
  if (!ReadRegularFile(path, &content)) {
    const bool absent = !FileExists(path);
    if (missing) *missing = absent;
    error = absent ? FileNamePart(path) + " does not exist (" + path +
                         "): give the first serial number to start from"
                   : "cannot read " + path + " as a regular file";
    return false;
  }
  if (!ParseSerialFile(content, n, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool ReplaceSerial(const std::string& path, uint64_t n, std::string& error) {
  std::string why;
  if (!ReplaceFileAtomically(path, SerialFileContent(n), &why)) {
    error = "cannot write " + path + ": " + why;
    return false;
  }
  if (!SyncDirectoryOf(path)) {
    error = "cannot make the new " + path + " durable";
    return false;
  }
  return true;
}

}  // namespace

std::string SerialFileContent(uint64_t n) { return std::to_string(n) + "\r\n"; }

bool ParseSerialFile(std::string_view content, uint64_t& n, std::string& error) {
  std::size_t first = 0;
  std::size_t end = content.size();
  while (first < end && IsBlank(content[first])) ++first;
  while (end > first && IsBlank(content[end - 1])) --end;
  const std::string_view digits = content.substr(first, end - first);
  if (digits.empty()) {
    error = "it holds no serial number";
    return false;
  }
  uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') {
      error = "it holds something other than one decimal number on one line";
      return false;
    }
    const auto digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) {
      error = "its serial number is too large";
      return false;
    }
    value = value * 10 + digit;
  }
  n = value;
  return true;
}

std::string SerialLockPath(const std::string& path) { return path + ".lock"; }

bool WriteSerialStart(const std::string& path, uint64_t n, std::string& error) {
  std::string failure;
  const bool locked = WithExclusiveLock(
      SerialLockPath(path), [&] { return ReplaceSerial(path, n, failure); }, error);
  if (locked) return true;
  if (!failure.empty()) error = failure;
  return false;
}

bool TakeSerial(const std::string& path, uint64_t& taken, std::string& error, bool* missing) {
  if (missing) *missing = false;
  // Asked before the lock so that a missing file leaves no lock file behind.
  if (!FileExists(path)) return ReadSerial(path, taken, error, missing);
  std::string failure;
  uint64_t number = 0;
  const bool done = WithExclusiveLock(
      SerialLockPath(path),
      [&] {
        if (!ReadSerial(path, number, failure, missing)) return false;
        if (number == UINT64_MAX) {
          failure = path + ": the serial numbers are used up";
          return false;
        }
        return ReplaceSerial(path, number + 1, failure);
      },
      error);
  if (done) {
    taken = number;
    return true;
  }
  if (!failure.empty()) error = failure;
  return false;
}

}  // namespace flash
