// Windows side of the production log: FILE_APPEND_DATA, whose single
// WriteFile of a whole line lands at the end of the file without mixing
// with another's.
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
      : handle_(CreateFileW(Utf16(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
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
