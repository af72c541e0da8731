#pragma once
// Lines of a hex file, read from disk in large blocks or taken from memory.
// Both decoders walk a file through this interface, so the fuzzer and the
// tests can feed them without touching the disk.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace flash {

enum class LineStatus { Line, End, ReadError };

class LineSource {
 public:
  virtual ~LineSource() = default;
  // Back to the first line.
  virtual void Rewind() = 0;
  // The next line without its terminator (LF, or CR LF; nothing else is
  // trimmed). The view stays valid until the next call.
  virtual LineStatus Next(std::string_view& line) = 0;
};

// Splits a buffer that the caller keeps alive as long as the source.
class MemoryLineSource final : public LineSource {
 public:
  explicit MemoryLineSource(std::string_view text) : text_(text) {}
  void Rewind() override { pos_ = 0; }
  LineStatus Next(std::string_view& line) override;

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Reads a file in blocks of kReadBlock bytes and finds line ends with memchr.
// A line lying inside one block is handed out in place; only a line that
// crosses a block boundary is copied, into a buffer that grows with the
// longest such line. The file is never held in memory as a whole.
class FileLineSource final : public LineSource {
 public:
  static constexpr std::size_t kReadBlock = 256 * 1024;

  FileLineSource() = default;
  // False when the path names no file that can be opened for reading.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }

  void Rewind() override;
  LineStatus Next(std::string_view& line) override;

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  // Reads the next block; false at the end of the file or on a read error.
  bool FillBlock();

  std::unique_ptr<std::FILE, Closer> file_;
  std::unique_ptr<char[]> block_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool readError_ = false;
  std::string carry_;
};

}  // namespace flash
