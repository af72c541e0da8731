#pragma once
// The few file-system services the program needs, with one file per platform.
#include <string>

namespace flash {

// Writes data to a temporary file beside path, flushes it to disk and renames
// it over path, so a crash or a full disk never leaves half a file. Keeps the
// permissions of an existing file. False when any step fails; path is then untouched.
bool ReplaceFileAtomically(const std::string& path, const std::string& data);

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

// The file-name part of a path: after its last separator, or the whole text.
std::string FileNamePart(const std::string& path);

// The directory part of a path, with its trailing separator (empty when none).
std::string DirectoryPart(const std::string& path);

// The directory separator of the platform.
char PathSeparator();

}  // namespace flash

namespace flash {
// Whether standard input (0) or standard error (2) is a terminal.
bool IsTerminal(int fd);
}  // namespace flash
