// Windows side of the all-or-nothing output file: a temporary file beside
// the target, FlushFileBuffers, MoveFileEx with replace. The UTF-8 names go
// to the "W" calls.
#include <windows.h>

#include <string>

#include "base/OutputFile.h"
#include "base/WideTextWin32.h"

namespace flash {
namespace {
constexpr std::size_t kFlushAt = 1 << 16;
OutputError ErrorOf(DWORD e) {
  return e == ERROR_DISK_FULL || e == ERROR_HANDLE_DISK_FULL ? OutputError::DiskFull
                                                              : OutputError::Other;
}
HANDLE H(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

void OutputFile::Fail(int error) {
  if (error_ == OutputError::None) {
    error_ = ErrorOf(static_cast<DWORD>(error));
    errorText_ = "error " + std::to_string(error);
  }
}

OutputFile::OutputFile(std::string target, OutputMode) : target_(std::move(target)) {
  // A directory under the name is no file to replace.
  const DWORD a = GetFileAttributesW(Utf16(target_).c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) {
    error_ = OutputError::Other;
    errorText_ = "it is not a regular file";
    return;
  }
  temp_ = target_ + ".part";
  HANDLE h = CreateFileW(Utf16(temp_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Fail(static_cast<int>(GetLastError()));
    temp_.clear();
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
}

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Write(const std::string& bytes) {
  if (!Ok()) return false;
  buffer_ += bytes;
  return buffer_.size() < kFlushAt || Flush();
}

bool OutputFile::Flush() {
  DWORD written = 0;
  if (!buffer_.empty() &&
      (!WriteFile(H(handle_), buffer_.data(), static_cast<DWORD>(buffer_.size()), &written,
                  nullptr) ||
       written != buffer_.size())) {
    Fail(static_cast<int>(GetLastError()));
    return false;
  }
  buffer_.clear();
  return true;
}

bool OutputFile::Commit() {
  if (!Ok() || !Flush()) return false;
  bool ok = FlushFileBuffers(H(handle_)) != 0;
  CloseHandle(H(handle_));
  handle_ = -1;
  if (ok && MoveFileExW(Utf16(temp_).c_str(), Utf16(target_).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    temp_.clear();
    return true;
  }
  Fail(static_cast<int>(GetLastError()));
  DeleteFileW(Utf16(temp_).c_str());
  temp_.clear();
  return false;
}

void OutputFile::Abandon() {
  if (handle_ >= 0) CloseHandle(H(handle_));
  handle_ = -1;
  if (!temp_.empty()) DeleteFileW(Utf16(temp_).c_str());
  temp_.clear();
}

}  // namespace flash
