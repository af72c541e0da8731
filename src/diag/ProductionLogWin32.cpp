// Windows side of the production log: FILE_APPEND_DATA, whose single
// WriteFile of a whole line lands at the end of the file. Not every file
// system makes two such appends from two handles atomic (a share; Wine
// writes at an end it found first), so writers also take turns on a lock.
#include <windows.h>

#include "base/FileUtil.h"
#include "base/WideTextWin32.h"
#include "diag/ProductionLog.h"

namespace flash {
namespace {

// The log file's handle, closed when it goes.
class AppendHandle {
 public:
  explicit AppendHandle(const std::string& path)
      : handle_(CreateFileW(Utf16(path).c_str(),
                            FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) {}
  ~AppendHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  AppendHandle(const AppendHandle&) = delete;
  AppendHandle& operator=(const AppendHandle&) = delete;

  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// One byte far past any log's end, locked by each writer for its append:
// the appends themselves never touch it, so the lock orders writers and
// blocks nothing else. LockFileEx waits for a writer that holds it.
class AppendTurn {
 public:
  explicit AppendTurn(HANDLE h) : handle_(h) {
    at_.Offset = 0xFFFFFFFEu;
    at_.OffsetHigh = 0x7FFFFFFFu;
    held_ = LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at_) != 0;
  }
  ~AppendTurn() {
    if (held_) UnlockFileEx(handle_, 0, 1, 0, &at_);
  }
  AppendTurn(const AppendTurn&) = delete;
  AppendTurn& operator=(const AppendTurn&) = delete;

  bool Held() const { return held_; }

 private:
  HANDLE handle_;
  OVERLAPPED at_{};
  bool held_ = false;
};

std::string ErrorText(DWORD code) { return "error " + std::to_string(code); }

}  // namespace

std::string HostName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;  // in characters
  if (!GetComputerNameW(name, &size) || size == 0) return "unknown";
  return Utf8(std::wstring(name, size));
}

bool AppendLogRecord(const std::string& path, const std::string& line, std::string& error) {
  const std::string prefix = "cannot append to the production log " + path + ": ";
  if (auto problem = NotPlainFile(path)) {
    error = prefix + *problem;
    return false;
  }
  AppendHandle file(path);
  if (file.Get() == INVALID_HANDLE_VALUE) {
    error = prefix + ErrorText(GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file.Get()) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(file.Get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    error = prefix + "it is not a regular file";
    return false;
  }
  const AppendTurn turn(file.Get());
  if (!turn.Held()) {
    error = prefix + "it could not be locked: " + ErrorText(GetLastError());
    return false;
  }
  DWORD written = 0;
  if (!WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    error = prefix + ErrorText(GetLastError());
    return false;
  }
  if (written != line.size()) {
    error = prefix + "only " + std::to_string(written) + " of " + std::to_string(line.size()) +
            " bytes were written";
    return false;
  }
  if (!FlushFileBuffers(file.Get())) {
    error = prefix + ErrorText(GetLastError());
    return false;
  }
  return true;
}

}  // namespace flash
