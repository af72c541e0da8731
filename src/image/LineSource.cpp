#include "image/LineSource.h"

#include <cstring>

#include "app/FileUtil.h"

namespace flash {
namespace {

// Drops the CR of a CR LF terminator; lone CRs elsewhere stay in the line.
std::string_view WithoutCr(const char* begin, std::size_t n, bool hadLf) {
  if (hadLf && n > 0 && begin[n - 1] == '\r') --n;
  return {begin, n};
}

}  // namespace

LineStatus MemoryLineSource::Next(std::string_view& line) {
  if (pos_ >= text_.size()) return LineStatus::End;
  const char* begin = text_.data() + pos_;
  std::size_t rest = text_.size() - pos_;
  const void* lf = std::memchr(begin, '\n', rest);
  if (!lf) {
    line = WithoutCr(begin, rest, false);
    pos_ = text_.size();
  } else {
    std::size_t n = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
    line = WithoutCr(begin, n, true);
    pos_ += n + 1;
  }
  return LineStatus::Line;
}

bool FileLineSource::Open(const std::string& path) {
  file_.reset();
  // A directory opens for reading on some systems but holds no lines.
  if (path.empty() || IsDirectory(path)) return false;
  // Binary mode: the CR of CR LF is removed here, alike on every platform.
  file_.reset(std::fopen(path.c_str(), "rb"));
  if (!file_) return false;
  // The blocks are large; a second buffer inside stdio would only copy them.
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
  if (!block_) block_.reset(new char[kReadBlock]);
  pos_ = len_ = 0;
  readError_ = false;
  return true;
}

void FileLineSource::Rewind() {
  if (!file_) return;
  std::clearerr(file_.get());
  std::rewind(file_.get());
  pos_ = len_ = 0;
  readError_ = false;
}

bool FileLineSource::FillBlock() {
  pos_ = len_ = 0;
  if (!file_ || readError_) return false;
  len_ = std::fread(block_.get(), 1, kReadBlock, file_.get());
  if (len_ == 0 && std::ferror(file_.get())) readError_ = true;
  return len_ > 0;
}

LineStatus FileLineSource::Next(std::string_view& line) {
  if (pos_ == len_ && !FillBlock()) return readError_ ? LineStatus::ReadError : LineStatus::End;
  const char* begin = block_.get() + pos_;
  std::size_t rest = len_ - pos_;
  if (const void* lf = std::memchr(begin, '\n', rest)) {
    std::size_t n = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
    pos_ += n + 1;
    line = WithoutCr(begin, n, true);
    return LineStatus::Line;
  }
  // The line goes on in the next block.
  carry_.assign(begin, rest);
  for (;;) {
    if (!FillBlock()) {
      if (readError_) return LineStatus::ReadError;
      line = WithoutCr(carry_.data(), carry_.size(), false);  // last line, no terminator
      return LineStatus::Line;
    }
    const char* b = block_.get();
    if (const void* lf = std::memchr(b, '\n', len_)) {
      std::size_t n = static_cast<std::size_t>(static_cast<const char*>(lf) - b);
      carry_.append(b, n);
      pos_ = n + 1;
      line = WithoutCr(carry_.data(), carry_.size(), true);
      return LineStatus::Line;
    }
    carry_.append(b, len_);
  }
}

}  // namespace flash
