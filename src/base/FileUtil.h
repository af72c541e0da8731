#pragma once
// The few file-system services the program needs, with one file per platform.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace flash {

// Writes data to a file without a name beside path (a temporary name where
// the system has no such files), flushes it to disk and gives it path's name
// in one step, so a crash, a kill or a full disk never leaves half a file or
// a stray one. Writes through a symbolic link and keeps the permissions of an
// existing file. False (with the system's words in *why) when any step fails;
// path is then untouched.
bool ReplaceFileAtomically(const std::string& path, const std::string& data,
                           std::string* why = nullptr);

// Truncates the existing regular file path and writes data into it: for a
// writable file in a directory that takes no new names. False (with *why)
// when path is no regular file (a symbolic link is refused too) or any step fails.
bool RewriteFileInPlace(const std::string& path, const std::string& data,
                        std::string* why = nullptr);

// What tells one state of a file from another: a file replaced, rewritten
// or edited shows a different identity.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modifiedNs = 0;  // last modification, nanoseconds since the epoch
  bool operator==(const FileIdentity&) const = default;
};

// A file opened for reading only when it is a regular file once symbolic
// links are followed. The open never blocks: a FIFO, a device or a directory
// under the name is refused as a file that cannot be opened.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool Open(const std::string& path);
  bool IsOpen() const { return handle_ >= 0; }
  void Close();
  // Up to n bytes; 0 at the end, -1 on a read error.
  long long Read(void* buffer, std::size_t n);
  bool Rewind();
  const FileIdentity& Identity() const { return identity_; }

 private:
  std::intptr_t handle_ = -1;
  FileIdentity identity_;
};

// The whole content of a regular file (InputFile's rules), and its identity.
// False when it cannot be opened or read.
bool ReadRegularFile(const std::string& path, std::string* data, FileIdentity* identity = nullptr);

// The identity of the regular file path names; false when there is none.
bool RegularFileIdentity(const std::string& path, FileIdentity* identity);

// The system clock in the file system's terms (nanoseconds since the epoch),
// to judge whether a modification time is recent.
int64_t FileSystemNowNs();

// Why path must not be written as a file of the program's own (the result
// file, the traces): "it is a symbolic link" or "it is not a regular file".
// Nothing when it is a regular file or does not exist.
std::optional<std::string> NotPlainFile(const std::string& path);

// The existing regular file path, opened to append to it, never through a
// symbolic link and without blocking on a FIFO. Null when that is not so.
std::FILE* OpenForAppending(const std::string& path);

bool FileExists(const std::string& path);     // a file or a directory
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);

// Directory of the running executable, asked of the operating system, with a
// trailing separator. Empty when it cannot be found or is longer than MaxPathLength().
std::string ExecutableDirectory();

// The platform's path length limit (260 on Windows, PATH_MAX elsewhere).
std::size_t MaxPathLength();

// path made absolute against the current directory (unchanged when already absolute).
std::string AbsolutePath(const std::string& path);

// The name of the per-user station directory: the project's name.
const char* StationName();

// Whether this process may make and replace files in dir (an installed
// program's directory is not writable for the user who runs it).
bool DirectoryWritable(const std::string& dir);

// The per-user station directory the environment names, with its separator:
// $XDG_CONFIG_HOME/<StationName()>/ when XDG_CONFIG_HOME is an absolute path,
// else $HOME/.config/<StationName()>/ (on Windows %APPDATA%\<StationName()>\).
// Empty when the environment names no home. Makes nothing.
std::string UserStationDirectory();

// The directory (with its separator) where the program keeps the files it
// writes for the station (Customize.ini, DATAFILE.TXT, MESSFILE.TXT, ...):
// programDir itself while it is writable, so a program run from a directory
// of its own behaves as it always did; else UserStationDirectory(), made
// (mode 0700) when missing. programDir when there is no such directory and
// none can be made: the writes then fail there and say why.
std::string StationDirectory(const std::string& programDir);

// path made absolute against dir (which ends with its separator); unchanged
// when already absolute.
std::string PathIn(const std::string& dir, const std::string& path);

// The file-name part of a path: after its last separator, or the whole text.
std::string FileNamePart(const std::string& path);

// The directory part of a path, with its trailing separator (empty when none).
std::string DirectoryPart(const std::string& path);

// Whether standard input (0) or standard error (2) is a terminal.
bool IsTerminal(int fd);
// Whether a stream goes to a terminal.
bool IsTerminal(std::FILE* stream);

}  // namespace flash
