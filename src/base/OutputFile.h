#pragma once
// A file written whole or not at all: the bytes go to a file in the target's
// directory that has no name there (on Linux O_TMPFILE; elsewhere a
// temporary name) and takes the target's name only on Commit. An abandoned,
// failed or killed write leaves no trace, and a file that was already there
// stays untouched until the new one is complete.
#include <cstdint>
#include <memory>
#include <string>

namespace flash {

enum class OutputError { None, DiskFull, Other };

// The new file's permissions: the usual ones for a new file, or those of the
// file it replaces (settings files keep what their owner gave them).
enum class OutputMode { Fresh, KeepExisting };

class OutputFile {
 public:
  // Creates the temporary file; Ok() tells whether that worked.
  explicit OutputFile(std::string target, OutputMode mode = OutputMode::Fresh);
  ~OutputFile();  // abandons the file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Ok() const { return error_ == OutputError::None && handle_ >= 0; }
  OutputError Error() const { return error_; }
  // The operating system's words for the failure.
  const std::string& ErrorText() const { return errorText_; }
  // Buffered; false (and Error() set) when the bytes could not be written.
  bool Write(const std::string& bytes);
  // Flushes, syncs and renames over the target.
  bool Commit();
  void Abandon();

 private:
  bool Flush();
  void Fail(int error);
  std::string target_;
  std::string temp_;        // the temporary name, empty for an unnamed file
  bool unnamed_ = false;    // the file has no name until Commit
  std::intptr_t handle_ = -1;
  std::string buffer_;
  OutputError error_ = OutputError::None;
  std::string errorText_;
};

}  // namespace flash
