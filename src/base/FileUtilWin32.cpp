// Windows side of the file services: GetModuleFileName for the executable,
// MoveFileEx with replace for atomic replacement. Paths arrive as UTF-8 and
// go to the "W" calls, which name any file the user can.
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/FileUtil.h"
#include "base/WideTextWin32.h"

namespace flash {
namespace {
BOOL WriteAllAndFlush(HANDLE h, const std::string& data) {
  DWORD written = 0;
  return WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
         written == data.size() && FlushFileBuffers(h);
}
}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& data, std::string* why) {
  std::string tmp = path + ".tmp";
  const std::wstring wideTmp = Utf16(tmp);
  HANDLE h = CreateFileW(wideTmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (why) *why = "error " + std::to_string(GetLastError());
    return false;
  }
  BOOL ok = WriteAllAndFlush(h, data);
  CloseHandle(h);
  if (ok && MoveFileExW(wideTmp.c_str(), Utf16(path).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  if (why) *why = "error " + std::to_string(GetLastError());
  DeleteFileW(wideTmp.c_str());
  return false;
}

bool RewriteFileInPlace(const std::string& path, const std::string& data, std::string* why) {
  if (auto problem = NotPlainFile(path); problem || !IsRegularFile(path)) {
    if (why) *why = problem.value_or("not a regular file");
    return false;
  }
  HANDLE h = CreateFileW(Utf16(path).c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (why) *why = "error " + std::to_string(GetLastError());
    return false;
  }
  BOOL ok = WriteAllAndFlush(h, data);
  if (!ok && why) *why = "error " + std::to_string(GetLastError());
  CloseHandle(h);
  return ok;
}

namespace {

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity id;
  id.device = info.dwVolumeSerialNumber;
  id.inode = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  id.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  const uint64_t ticks =
      (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
  id.modifiedNs = static_cast<int64_t>(ticks) * 100;  // 100 ns units since 1601
  return id;
}

// A disk file and not a directory: pipes, consoles and devices are refused.
bool IsPlainDiskFile(HANDLE h, BY_HANDLE_FILE_INFORMATION* info) {
  return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, info) &&
         !(info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

InputFile::~InputFile() { Close(); }

void InputFile::Close() {
  if (handle_ >= 0) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

bool InputFile::Open(const std::string& path) {
  Close();
  if (path.empty()) return false;
  HANDLE h = CreateFileW(Utf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!IsPlainDiskFile(h, &info)) {
    CloseHandle(h);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  identity_ = IdentityOf(info);
  return true;
}

long long InputFile::Read(void* buffer, std::size_t n) {
  if (handle_ < 0) return -1;
  DWORD got = 0;
  const DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
  if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, want, &got, nullptr)) return -1;
  return got;
}

bool InputFile::Rewind() {
  return handle_ >= 0 &&
         SetFilePointer(reinterpret_cast<HANDLE>(handle_), 0, nullptr, FILE_BEGIN) == 0;
}

bool RegularFileIdentity(const std::string& path, FileIdentity* identity) {
  InputFile in;
  if (!in.Open(path)) return false;
  *identity = in.Identity();
  return true;
}

int64_t FileSystemNowNs() {
  FILETIME ft{};
  GetSystemTimeAsFileTime(&ft);
  const uint64_t ticks = (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(ticks) * 100;
}

std::optional<std::string> NotPlainFile(const std::string& path) {
  DWORD a = GetFileAttributesW(Utf16(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return std::string("it is a symbolic link");
  if (a & FILE_ATTRIBUTE_DIRECTORY) return std::string("it is not a regular file");
  return std::nullopt;
}

std::FILE* OpenForAppending(const std::string& path) {
  if (NotPlainFile(path) || !IsRegularFile(path)) return nullptr;
  return _wfopen(Utf16(path).c_str(), L"ab");
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(Utf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsRegularFile(const std::string& path) {
  DWORD a = GetFileAttributesW(Utf16(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::string& path) {
  DWORD a = GetFileAttributesW(Utf16(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::size_t MaxPathLength() { return MAX_PATH; }

std::string ExecutableDirectory() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};  // a path that fills the buffer is too long
  std::wstring exe(buf, n);
  std::size_t slash = exe.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  std::wstring dir = exe.substr(0, slash + 1);
  wchar_t shortBuf[MAX_PATH];
  DWORD s = GetShortPathNameW(dir.c_str(), shortBuf, MAX_PATH);
  if (s > 0 && s < MAX_PATH) dir.assign(shortBuf, s);
  return Utf8(dir);
}

std::string AbsolutePath(const std::string& path) {
  wchar_t buf[MAX_PATH];
  DWORD n = GetFullPathNameW(Utf16(path).c_str(), MAX_PATH, buf, nullptr);
  if (n == 0 || n >= MAX_PATH) return path;
  return Utf8(std::wstring(buf, n));
}

bool DirectoryWritable(const std::string& dir) {
  // Access rights on Windows are lists, not bits: try what the program will
  // do, make a file there (gone again when closed).
  if (dir.empty() || !IsDirectory(dir)) return false;
  const std::string probe = dir + ".write-probe-" + std::to_string(GetCurrentProcessId());
  HANDLE h = CreateFileW(Utf16(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

namespace {

// An environment variable from the process's own (UTF-16) block: the C
// library's narrow copy holds it in the ANSI code page. Empty when unset.
std::string EnvironmentText(const wchar_t* name) {
  std::wstring value(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) return {};
    if (n < value.size()) return Utf8(value.substr(0, n));
    value.resize(n);  // n counts the terminating NUL when the buffer was short
  }
  return {};
}

}  // namespace

std::string UserStationDirectory() {
  std::string base = EnvironmentText(L"APPDATA");
  if (base.empty()) return {};
  while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
  return base + "\\" + StationName() + "\\";
}

std::string StationDirectory(const std::string& programDir) {
  if (DirectoryWritable(programDir)) return programDir;
  const std::string own = UserStationDirectory();
  if (own.empty()) return programDir;
  // %APPDATA% exists; only the program's own folder in it may be missing.
  CreateDirectoryW(Utf16(own).c_str(), nullptr);
  return IsDirectory(own) ? own : programDir;
}

std::string PathIn(const std::string& dir, const std::string& path) {
  // A drive letter, a UNC name or a root: the path names its place itself.
  const bool absolute = (path.size() > 1 && path[1] == ':') ||
                        (!path.empty() && (path[0] == '\\' || path[0] == '/'));
  return path.empty() || absolute ? path : dir + path;
}

std::string FileNamePart(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryPart(const std::string& path) {
  return path.substr(0, path.size() - FileNamePart(path).size());
}

bool IsTerminal(int fd) { return _isatty(fd) != 0; }
bool IsTerminal(std::FILE* stream) { return stream && IsTerminal(_fileno(stream)); }

}  // namespace flash
