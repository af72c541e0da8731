// POSIX side of the production log: O_APPEND, whose single write(2) of a
// whole line lands at the end of the file without mixing with another's.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "diag/ProductionLog.h"

namespace flash {
namespace {

// The log file's descriptor, closed when it goes unless Close took it.
class AppendFd {
 public:
  explicit AppendFd(const std::string& path) {
    // O_NONBLOCK: a FIFO without a reader must not hold the open for ever.
    do {
      fd_ = open(path.c_str(),
                 O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK,
                 0644);
    } while (fd_ < 0 && errno == EINTR);
  }
  ~AppendFd() {
    if (fd_ >= 0) close(fd_);
  }
  AppendFd(const AppendFd&) = delete;
  AppendFd& operator=(const AppendFd&) = delete;

  int Get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_ = -1;
};

std::string OpenFailure(const std::string& path, int e) {
  // O_NOFOLLOW says ELOOP for a symbolic link.
  if (e == ELOOP) return "it is a symbolic link";
  if (e == ENXIO) return "it is not a regular file";
  struct stat st {};
  if (e == EISDIR || (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
    return "it is a directory";
  }
  return std::strerror(e);
}

}  // namespace

std::string HostName() {
  std::vector<char> name(256 + 1, '\0');
  if (gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') return "unknown";
  return name.data();
}

bool AppendLogRecord(const std::string& path, const std::string& line, std::string& error) {
  const std::string prefix = "cannot append to the production log " + path + ": ";
  AppendFd fd(path);
  if (fd.Get() < 0) {
    error = prefix + OpenFailure(path, errno);
    return false;
  }
  struct stat st {};
  if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = prefix + "it is not a regular file";
    return false;
  }
  const int flags = fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  ssize_t written;
  do {
    written = write(fd.Get(), line.data(), line.size());
  } while (written < 0 && errno == EINTR);  // nothing was written then
  if (written < 0) {
    error = prefix + std::strerror(errno);
    return false;
  }
  if (static_cast<std::size_t>(written) != line.size()) {
    error = prefix + "only " + std::to_string(written) + " of " + std::to_string(line.size()) +
            " bytes were written";
    return false;
  }
  if (fsync(fd.Get()) != 0) {
    error = prefix + std::strerror(errno);
    return false;
  }
  if (!fd.Close()) {
    error = prefix + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace flash
