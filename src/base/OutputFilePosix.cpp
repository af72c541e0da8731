// POSIX side of the all-or-nothing output file. On Linux the file is made
// with O_TMPFILE in the target's directory and given its name with linkat(2)
// only when complete, so not even kill -9 leaves a partial file behind;
// elsewhere (or where the file system refuses O_TMPFILE) a temporary name
// beside the target and rename(2).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/OutputFile.h"

namespace flash {
namespace {

constexpr std::size_t kFlushAt = 1 << 16;

OutputError ErrorOf(int e) {
  return e == ENOSPC || e == EDQUOT ? OutputError::DiskFull : OutputError::Other;
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A fresh name beside target; nothing is left under it.
bool FreshName(const std::string& target, std::string* name) {
  std::string pattern = target + ".partXXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  int fd = mkstemp(buf.data());
  if (fd < 0) return false;
  close(fd);
  unlink(buf.data());
  *name = buf.data();
  return true;
}

std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

void OutputFile::Fail(int error) {
  if (error_ == OutputError::None) {
    error_ = ErrorOf(error);
    errorText_ = std::strerror(error);
  }
}

OutputFile::OutputFile(std::string target, OutputMode mode) : target_(std::move(target)) {
  mode_t mask = umask(0);
  umask(mask);
  mode_t perm = 0666 & ~mask;
  struct stat st {};
  const bool exists = stat(target_.c_str(), &st) == 0;
  // A device, FIFO or directory under the name is no file to replace: the
  // rename would put a plain file where /dev/null or a pipe was.
  if (exists && !S_ISREG(st.st_mode)) {
    error_ = OutputError::Other;
    errorText_ = "it is not a regular file";
    return;
  }
  if (mode == OutputMode::KeepExisting) perm = exists ? st.st_mode & 07777 : 0644;
#ifdef O_TMPFILE
  // The unnamed file needs /proc to be given its name later.
  if (access("/proc/self/fd", X_OK) == 0) {
    int fd = open(DirectoryOf(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, perm);
    if (fd >= 0) {
      fchmod(fd, perm);
      handle_ = fd;
      unnamed_ = true;
      return;
    }
  }
#endif
  std::string pattern = target_ + ".partXXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    Fail(errno);
    return;
  }
  // mkstemp makes the file private; a finished file gets the mode chosen above.
  fchmod(fd, perm);
  temp_ = name.data();
  handle_ = fd;
}

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Write(const std::string& bytes) {
  if (!Ok()) return false;
  buffer_ += bytes;
  return buffer_.size() < kFlushAt || Flush();
}

bool OutputFile::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    ssize_t n = write(static_cast<int>(handle_), buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Fail(n < 0 ? errno : ENOSPC);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool OutputFile::Commit() {
  if (!Ok() || !Flush()) return false;
  const int fd = static_cast<int>(handle_);
  if (fsync(fd) != 0) {
    Fail(errno);
    Abandon();
    return false;
  }
  if (unnamed_) {
    // Straight to the target's name when it is free; else under a fresh name
    // that then replaces the target in one rename.
    const std::string proc = ProcPath(fd);
    bool named = linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0;
    if (!named && errno == EEXIST) {
      std::string temp;
      for (int attempt = 0; attempt < 8 && !named; ++attempt) {
        if (!FreshName(target_, &temp)) break;
        if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
          if (errno == EEXIST) continue;
          break;
        }
        if (rename(temp.c_str(), target_.c_str()) != 0) {
          Fail(errno);
          unlink(temp.c_str());
          Abandon();
          return false;
        }
        named = true;
      }
    }
    if (!named) {
      Fail(errno);
      Abandon();
      return false;
    }
  }
  handle_ = -1;
  if (close(fd) != 0) {
    Fail(errno);
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  if (!unnamed_ && rename(temp_.c_str(), target_.c_str()) != 0) {
    Fail(errno);
    unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  temp_.clear();
  return true;
}

void OutputFile::Abandon() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace flash
