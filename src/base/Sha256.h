#pragma once
// SHA-256 digests, for the production log's record of which file was flashed.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace flash {

// The digest of a stream of bytes fed in pieces of any size.
class Sha256 {
 public:
  Sha256();
  void Update(const void* data, std::size_t size);
  // The digest of everything fed so far; the object starts afresh afterwards.
  std::array<uint8_t, 32> Finish();
  // Finish() as 64 lower-case hex digits.
  std::string FinishHex();

 private:
  void Reset();
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> state_{};
  std::array<uint8_t, 64> pending_{};
  std::size_t pendingSize_ = 0;
  uint64_t totalBytes_ = 0;
};

// The digest of a byte range as 64 lower-case hex digits.
std::string Sha256Hex(const void* data, std::size_t size);
std::string Sha256Hex(std::string_view bytes);

// The digest of the regular file path (a FIFO, a device or a directory is
// refused), read in pieces. False with the reason in error when the file
// cannot be opened or read.
bool Sha256OfFile(const std::string& path, std::string& hex, std::string& error);

}  // namespace flash
