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
#include <vector>

#include "app/FileUtil.h"
#include "app/OutputFile.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace flash {

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
  // Non-blocking, so a FIFO of that name cannot hold the program at open.
  int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return fail(EINVAL);
  }
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

std::string FileNamePart(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryPart(const std::string& path) {
  return path.substr(0, path.size() - FileNamePart(path).size());
}

char PathSeparator() { return '/'; }

}  // namespace flash

namespace flash {
bool IsTerminal(int fd) { return isatty(fd) == 1; }
bool IsTerminal(std::FILE* stream) { return stream && IsTerminal(fileno(stream)); }
}  // namespace flash
