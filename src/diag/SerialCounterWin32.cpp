// Windows side of the serial counter: LockFileEx on a lock file beside
// SERIAL.TXT, which every take replaces and so cannot carry the lock.
#include <windows.h>

#include "base/WideTextWin32.h"
#include "diag/SerialCounter.h"

namespace flash {
namespace {

// The lock file's handle, closed (and the lock with it) when it goes.
class LockHandle {
 public:
  explicit LockHandle(const std::string& path)
      : handle_(CreateFileW(Utf16(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~LockHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  LockHandle(const LockHandle&) = delete;
  LockHandle& operator=(const LockHandle&) = delete;

  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

bool WithExclusiveLock(const std::string& lockPath, const std::function<bool()>& body,
                       std::string& error) {
  LockHandle lock(lockPath);
  if (lock.Get() == INVALID_HANDLE_VALUE) {
    error = "cannot open the lock file " + lockPath + ": error " + std::to_string(GetLastError());
    return false;
  }
  if (GetFileType(lock.Get()) != FILE_TYPE_DISK) {
    error = "the lock file " + lockPath + " is not a regular file";
    return false;
  }
  OVERLAPPED at{};
  if (!LockFileEx(lock.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
    error = "cannot lock " + lockPath + ": error " + std::to_string(GetLastError());
    return false;
  }
  const bool result = body();
  UnlockFileEx(lock.Get(), 0, 1, 0, &at);
  return result;
}

// MoveFileEx with MOVEFILE_WRITE_THROUGH has made the rename durable already.
bool SyncDirectoryOf(const std::string&) { return true; }

}  // namespace flash
