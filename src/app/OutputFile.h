#pragma once
// A file written whole or not at all: the bytes go to a temporary file in
// the target's directory, which replaces the target only on Commit. An
// abandoned or failed file leaves no trace, and a file that was already
// there stays untouched until the new one is complete.
#include <cstdint>
#include <memory>
#include <string>

namespace flash {

enum class OutputError { None, DiskFull, Other };

class OutputFile {
 public:
  // Creates the temporary file; Ok() tells whether that worked.
  explicit OutputFile(std::string target);
  ~OutputFile();  // abandons the file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Ok() const { return error_ == OutputError::None && handle_ >= 0; }
  OutputError Error() const { return error_; }
  // Buffered; false (and Error() set) when the bytes could not be written.
  bool Write(const std::string& bytes);
  // Flushes, syncs and renames over the target.
  bool Commit();
  void Abandon();

 private:
  bool Flush();
  std::string target_;
  std::string temp_;
  std::intptr_t handle_ = -1;
  std::string buffer_;
  OutputError error_ = OutputError::None;
};

}  // namespace flash
