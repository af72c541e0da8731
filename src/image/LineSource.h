#pragma once
// Lines of a hex file, read from disk in large blocks or taken from memory.
// Both decoders walk a file through this interface, so the fuzzer and the
// tests can feed them without touching the disk.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/FileUtil.h"

namespace flash {

enum class LineStatus { Line, End, ReadError };

// No record has more characters that a decoder reads: an S-record line
// decodes 2 + 256 pairs, an Intel HEX line 1 + 260 pairs. A longer line is
// handed out cut to this length, and what was cut off is only checked for
// being hex digits, so memory stays bounded whatever the file holds.
inline constexpr std::size_t kKeptLineChars = 521;

class LineSource {
 public:
  virtual ~LineSource() = default;
  // Back to the first line.
  virtual void Rewind() = 0;
  // The next line without its terminator (LF, or CR LF; nothing else is
  // trimmed), cut to kKeptLineChars. The view stays valid until the next call.
  virtual LineStatus Next(std::string_view& line) = 0;
  // Whether every character cut off the last line is an upper-case hex
  // digit ("0"-"9", "A"-"F"); true when nothing was cut.
  virtual bool CutPartIsHex() const { return true; }
};

// Splits a buffer that the caller keeps alive as long as the source.
class MemoryLineSource final : public LineSource {
 public:
  explicit MemoryLineSource(std::string_view text) : text_(text) {}
  void Rewind() override { pos_ = 0; }
  LineStatus Next(std::string_view& line) override;
  bool CutPartIsHex() const override { return cutPartIsHex_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  bool cutPartIsHex_ = true;
};

// Reads a file in blocks of kReadBlock bytes and finds line ends with memchr.
// A line lying inside one block is handed out in place; only a line that
// crosses a block boundary is copied, at most kKeptLineChars + 1 characters
// of it. Only regular files are read (InputFile), so a FIFO or a device
// cannot hold the program or feed it without end.
class FileLineSource final : public LineSource {
 public:
  static constexpr std::size_t kReadBlock = 256 * 1024;

  FileLineSource() = default;
  // False when the path names no file that can be opened for reading.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_.IsOpen(); }

  void Rewind() override;
  LineStatus Next(std::string_view& line) override;
  bool CutPartIsHex() const override { return cutPartIsHex_; }

 private:
  // Reads the next block; false at the end of the file or on a read error.
  bool FillBlock();
  // Adds a piece of a line that crosses blocks: kept while there is room,
  // else only checked.
  void Carry(const char* piece, std::size_t n);
  std::string_view CarriedLine(bool hadLf);

  InputFile file_;
  std::unique_ptr<char[]> block_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool readError_ = false;
  bool cutPartIsHex_ = true;
  std::string carry_;           // the line's first characters
  uint64_t carriedLength_ = 0;  // the whole line's length so far
  uint64_t droppedNonHex_ = 0;  // characters beyond carry_ that are no hex digits
  char lastChar_ = 0;
};

}  // namespace flash
