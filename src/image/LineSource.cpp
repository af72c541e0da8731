#include "image/LineSource.h"

#include <algorithm>
#include <cstring>

#include "image/HexDigits.h"

namespace flash {
namespace {

// Drops the CR of a CR LF terminator; lone CRs elsewhere stay in the line.
std::size_t WithoutCr(const char* begin, std::size_t n, bool hadLf) {
  return hadLf && n > 0 && begin[n - 1] == '\r' ? n - 1 : n;
}

bool AllHex(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (hexdigits::Digit(p[i]) == hexdigits::kNotHex) return false;
  return true;
}

// A line held whole (in memory or in one block), cut to kKeptLineChars.
std::string_view Cut(const char* begin, std::size_t n, bool* cutPartIsHex) {
  *cutPartIsHex = n <= kKeptLineChars || AllHex(begin + kKeptLineChars, n - kKeptLineChars);
  return {begin, n < kKeptLineChars ? n : kKeptLineChars};
}

}  // namespace

LineStatus MemoryLineSource::Next(std::string_view& line) {
  if (pos_ >= text_.size()) return LineStatus::End;
  const char* begin = text_.data() + pos_;
  std::size_t rest = text_.size() - pos_;
  const void* lf = std::memchr(begin, '\n', rest);
  if (!lf) {
    line = Cut(begin, WithoutCr(begin, rest, false), &cutPartIsHex_);
    pos_ = text_.size();
  } else {
    std::size_t n = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
    line = Cut(begin, WithoutCr(begin, n, true), &cutPartIsHex_);
    pos_ += n + 1;
  }
  return LineStatus::Line;
}

bool FileLineSource::Open(const std::string& path) {
  // Binary reads: the CR of CR LF is removed here, alike on every platform.
  if (!file_.Open(path)) return false;
  if (!block_) block_.reset(new char[kReadBlock]);
  pos_ = len_ = 0;
  readError_ = false;
  return true;
}

void FileLineSource::Rewind() {
  if (!file_.IsOpen()) return;
  readError_ = !file_.Rewind();
  pos_ = len_ = 0;
}

bool FileLineSource::FillBlock() {
  pos_ = len_ = 0;
  if (!file_.IsOpen() || readError_) return false;
  long long n = file_.Read(block_.get(), kReadBlock);
  if (n < 0) {
    readError_ = true;
    return false;
  }
  len_ = static_cast<std::size_t>(n);
  return len_ > 0;
}

void FileLineSource::Carry(const char* piece, std::size_t n) {
  if (n == 0) return;
  // One character beyond the kept ones, so that the CR of a CR LF can still
  // be told from a character of the line.
  constexpr std::size_t kRoom = kKeptLineChars + 1;
  const std::size_t take = carry_.size() < kRoom ? std::min(n, kRoom - carry_.size()) : 0;
  carry_.append(piece, take);
  for (std::size_t i = take; i < n; ++i)
    droppedNonHex_ += hexdigits::Digit(piece[i]) == hexdigits::kNotHex;
  carriedLength_ += n;
  lastChar_ = piece[n - 1];
}

std::string_view FileLineSource::CarriedLine(bool hadLf) {
  uint64_t length = carriedLength_;
  if (hadLf && length > 0 && lastChar_ == '\r') {
    // The terminator's CR: out of the line, and out of the checked part.
    if (length > carry_.size()) --droppedNonHex_;
    else carry_.pop_back();
    --length;
  }
  if (length <= kKeptLineChars) {
    cutPartIsHex_ = true;
    return {carry_.data(), static_cast<std::size_t>(length)};
  }
  const std::size_t keptBeyond = std::min<std::size_t>(carry_.size(), static_cast<std::size_t>(length));
  cutPartIsHex_ = droppedNonHex_ == 0 &&
                  AllHex(carry_.data() + kKeptLineChars, keptBeyond - kKeptLineChars);
  return {carry_.data(), kKeptLineChars};
}

LineStatus FileLineSource::Next(std::string_view& line) {
  if (pos_ == len_ && !FillBlock()) return readError_ ? LineStatus::ReadError : LineStatus::End;
  const char* begin = block_.get() + pos_;
  std::size_t rest = len_ - pos_;
  if (const void* lf = std::memchr(begin, '\n', rest)) {
    std::size_t n = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
    pos_ += n + 1;
    line = Cut(begin, WithoutCr(begin, n, true), &cutPartIsHex_);
    return LineStatus::Line;
  }
  // The line goes on in the next block.
  carry_.clear();
  carriedLength_ = droppedNonHex_ = 0;
  Carry(begin, rest);
  for (;;) {
    if (!FillBlock()) {
      if (readError_) return LineStatus::ReadError;
      line = CarriedLine(false);  // last line, no terminator
      return LineStatus::Line;
    }
    const char* b = block_.get();
    if (const void* lf = std::memchr(b, '\n', len_)) {
      std::size_t n = static_cast<std::size_t>(static_cast<const char*>(lf) - b);
      Carry(b, n);
      pos_ = n + 1;
      line = CarriedLine(true);
      return LineStatus::Line;
    }
    Carry(b, len_);
  }
}

}  // namespace flash
