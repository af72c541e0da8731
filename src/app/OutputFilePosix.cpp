// POSIX side of the all-or-nothing output file: mkstemp beside the target,
// fsync, rename(2).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "app/OutputFile.h"

namespace flash {
namespace {
constexpr std::size_t kFlushAt = 1 << 16;
OutputError ErrorOf(int e) { return e == ENOSPC || e == EDQUOT ? OutputError::DiskFull : OutputError::Other; }
}  // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
  std::string pattern = target_ + ".partXXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    error_ = ErrorOf(errno);
    return;
  }
  // mkstemp makes the file private; a finished read-out gets the usual mode.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
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
      error_ = n < 0 ? ErrorOf(errno) : OutputError::DiskFull;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool OutputFile::Commit() {
  if (!Ok() || !Flush()) return false;
  int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (fsync(fd) != 0) {
    error_ = ErrorOf(errno);
    close(fd);
    unlink(temp_.c_str());
    return false;
  }
  if (close(fd) != 0) {
    error_ = ErrorOf(errno);
    unlink(temp_.c_str());
    return false;
  }
  if (rename(temp_.c_str(), target_.c_str()) != 0) {
    error_ = ErrorOf(errno);
    unlink(temp_.c_str());
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
