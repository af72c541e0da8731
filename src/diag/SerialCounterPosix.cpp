// POSIX side of the serial counter: flock(2) on a lock file beside
// SERIAL.TXT. Not the file itself, which every take replaces by a rename,
// and flock rather than fcntl locks, which threads of one process share.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "diag/SerialCounter.h"

namespace flash {
namespace {

// The descriptor of the lock file, closed (and the lock with it) when it goes.
class LockFile {
 public:
  explicit LockFile(const std::string& path) {
    do {
      fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK,
                 0644);
    } while (fd_ < 0 && errno == EINTR);
    error_ = fd_ < 0 ? errno : 0;
  }
  ~LockFile() {
    if (fd_ >= 0) close(fd_);
  }
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  int Fd() const { return fd_; }
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace

bool WithExclusiveLock(const std::string& lockPath, const std::function<bool()>& body,
                       std::string& error) {
  LockFile lock(lockPath);
  if (lock.Fd() < 0) {
    error = "cannot open the lock file " + lockPath + ": " + std::strerror(lock.Error());
    return false;
  }
  struct stat st {};
  if (fstat(lock.Fd(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "the lock file " + lockPath + " is not a regular file";
    return false;
  }
  int rc;
  do {
    rc = flock(lock.Fd(), LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    error = "cannot lock " + lockPath + ": " + std::strerror(errno);
    return false;
  }
  // Closing the descriptor releases the lock, whichever way body ends.
  return body();
}

bool SyncDirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // Some file systems refuse fsync on a directory; the rename stands regardless.
  const bool ok = fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  close(fd);
  return ok;
}

}  // namespace flash
