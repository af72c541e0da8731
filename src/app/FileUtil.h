#pragma once
// The few file-system services the program needs, with one file per platform.
#include <cstdio>
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
// when path is no regular file or any step fails.
bool RewriteFileInPlace(const std::string& path, const std::string& data,
                        std::string* why = nullptr);

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
// Whether a stream goes to a terminal.
bool IsTerminal(std::FILE* stream);
}  // namespace flash
