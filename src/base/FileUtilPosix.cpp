// POSIX side of the file services: /proc/self/exe (or the BSD and macOS
// equivalents) for the executable, the all-or-nothing output file for atomic
// replacement.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/FileUtil.h"
#include "base/OutputFile.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace flash {

namespace {

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.inode = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
#if defined(__APPLE__)
  id.modifiedNs = int64_t{st.st_mtimespec.tv_sec} * 1'000'000'000 + st.st_mtimespec.tv_nsec;
#else
  id.modifiedNs = int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
#endif
  return id;
}

// Opens path with flags only when it is a regular file, without blocking:
// O_NONBLOCK keeps a FIFO without a peer from holding the open for ever, and
// is cleared again, since a regular file never blocks. -1 otherwise.
int OpenRegularFile(const std::string& path, int flags, struct stat* st) {
  int fd;
  do {
    fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
    close(fd);
    return -1;
  }
  const int now = fcntl(fd, F_GETFL);
  if (now >= 0) fcntl(fd, F_SETFL, now & ~O_NONBLOCK);
  return fd;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& data, std::string* why) {
  // Write through a symbolic link to the file it names.
  std::string target = path;
  if (char* real = realpath(path.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  OutputFile out(target, OutputMode::KeepExisting);
  if (out.Write(data) && out.Commit()) return true;
  if (why) *why = out.ErrorText();
  return false;
}

bool RewriteFileInPlace(const std::string& path, const std::string& data, std::string* why) {
  auto fail = [&](int e) {
    if (why) *why = std::strerror(e);
    return false;
  };
  // Never through a symbolic link, which could point anywhere.
  struct stat st {};
  errno = 0;
  const int fd = OpenRegularFile(path, O_WRONLY | O_NOFOLLOW, &st);
  if (fd < 0) return fail(errno ? errno : EINVAL);
  bool ok = ftruncate(fd, 0) == 0;
  std::size_t done = 0;
  while (ok && done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<std::size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  const int e = errno;
  ok = (close(fd) == 0) && ok;
  return ok || fail(e ? e : EIO);
}

InputFile::~InputFile() { Close(); }

void InputFile::Close() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
}

bool InputFile::Open(const std::string& path) {
  Close();
  if (path.empty()) return false;
  struct stat st {};
  const int fd = OpenRegularFile(path, O_RDONLY, &st);
  if (fd < 0) return false;
  handle_ = fd;
  identity_ = IdentityOf(st);
  return true;
}

long long InputFile::Read(void* buffer, std::size_t n) {
  if (handle_ < 0) return -1;
  for (;;) {
    ssize_t got = read(static_cast<int>(handle_), buffer, n);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

bool InputFile::Rewind() {
  return handle_ >= 0 && lseek(static_cast<int>(handle_), 0, SEEK_SET) == 0;
}

bool RegularFileIdentity(const std::string& path, FileIdentity* identity) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *identity = IdentityOf(st);
  return true;
}

int64_t FileSystemNowNs() {
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

std::optional<std::string> NotPlainFile(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return std::nullopt;
  if (S_ISLNK(st.st_mode)) return std::string("it is a symbolic link");
  if (!S_ISREG(st.st_mode)) return std::string("it is not a regular file");
  return std::nullopt;
}

std::FILE* OpenForAppending(const std::string& path) {
  struct stat st {};
  const int fd = OpenRegularFile(path, O_WRONLY | O_APPEND | O_NOFOLLOW, &st);
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, "ab");
  if (!f) close(fd);
  return f;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::size_t MaxPathLength() { return PATH_MAX; }

std::string ExecutableDirectory() {
  std::string exe;
#if defined(__APPLE__)
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buf(size + 1);
  if (_NSGetExecutablePath(buf.data(), &size) != 0) return {};
  char* real = realpath(buf.data(), nullptr);
  if (!real) return {};
  exe = real;
  std::free(real);
#else
  std::vector<char> buf(PATH_MAX + 1);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0) return {};
  // A path that fills the whole buffer may have been cut: refuse it.
  if (static_cast<std::size_t>(n) >= PATH_MAX) return {};
  exe.assign(buf.data(), static_cast<std::size_t>(n));
#endif
  std::size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return {};
  return exe.substr(0, slash + 1);
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::vector<char> buf(PATH_MAX + 1);
  if (!getcwd(buf.data(), buf.size())) return path;
  std::string cwd = buf.data();
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return cwd + path;
}

bool DirectoryWritable(const std::string& dir) {
  // The effective ids decide, as they decide the writes; a read-only file
  // system says no even to root.
  return !dir.empty() && IsDirectory(dir) &&
         faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string UserStationDirectory() {
  // XDG's rules ignore a relative XDG_CONFIG_HOME.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return {};
    base = home;
    while (!base.empty() && base.back() == '/') base.pop_back();
    base += "/.config";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/" + StationName() + "/";
}

namespace {

// mkdir -p with mode 0700 for what it makes: the station's files are the
// user's own (settings, serial numbers, traces of the link).
bool MakeDirectories(const std::string& dir) {
  for (std::size_t at = dir.find('/', 1); at != std::string::npos; at = dir.find('/', at + 1)) {
    const std::string part = dir.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return IsDirectory(dir);
}

}  // namespace

std::string StationDirectory(const std::string& programDir) {
  if (DirectoryWritable(programDir)) return programDir;
  const std::string own = UserStationDirectory();
  if (own.empty() || !MakeDirectories(own)) return programDir;
  return own;
}

std::string PathIn(const std::string& dir, const std::string& path) {
  return path.empty() || path.front() == '/' ? path : dir + path;
}

std::string FileNamePart(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryPart(const std::string& path) {
  return path.substr(0, path.size() - FileNamePart(path).size());
}

bool IsTerminal(int fd) { return isatty(fd) == 1; }
bool IsTerminal(std::FILE* stream) { return stream && IsTerminal(fileno(stream)); }

}  // namespace flash
