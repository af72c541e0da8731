#pragma once
// SERIAL.TXT: the next serial number to hand out, shared by every process
// that flashes boards on this machine. Each take holds an exclusive lock,
// so no number goes out twice, and advances the file before the number is
// used, so a crash loses a number rather than repeating one.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace flash {

inline constexpr const char* kSerialFile = "SERIAL.TXT";

// The file's content for n: its decimal digits and CR LF, like the program's
// other text files.
std::string SerialFileContent(uint64_t n);

// The number in a file's content: decimal digits with blanks (and a line end,
// LF or CR LF) around them and nothing else. False with the reason in error.
bool ParseSerialFile(std::string_view content, uint64_t& n, std::string& error);

// path := n, replaced whole, under the lock a take holds.
bool WriteSerialStart(const std::string& path, uint64_t n, std::string& error);

// Under the lock: reads N from path, replaces the file with N+1, and only
// then gives N back in taken. False with the reason in error; *missing (when
// given) tells whether that is because path does not exist.
bool TakeSerial(const std::string& path, uint64_t& taken, std::string& error,
                bool* missing = nullptr);

// The lock file beside path (path + ".lock"). It stays once made: removing
// it while another process waits on it would let two hold the lock at once.
std::string SerialLockPath(const std::string& path);

// Runs body while this process holds the exclusive lock on lockPath (made
// when missing), waiting for other holders; the lock is released however
// body ends. False with the reason in error when the lock cannot be had,
// else what body returns. One file per platform.
bool WithExclusiveLock(const std::string& lockPath, const std::function<bool()>& body,
                       std::string& error);

// Makes a rename into path's directory durable where the system needs that
// asked separately (a POSIX directory); true where there is nothing to do.
bool SyncDirectoryOf(const std::string& path);

}  // namespace flash
