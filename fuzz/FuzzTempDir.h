#pragma once
// The one scratch directory of a fuzzer process: made on first use under
// $TMPDIR (else /tmp), removed with everything in it when the process exits.
// Targets that write files (settings, result files, copies) work in it, so a
// run never touches the source tree or the build directory.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace flash::fuzz {

class FuzzTempDir {
 public:
  static FuzzTempDir& Get() {
    // Never destroyed: the exit handler below still needs the path.
    static FuzzTempDir* dir = new FuzzTempDir;
    return *dir;
  }

  // The directory with a trailing separator, as a session's programDir holds it.
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }

  // Writes name with exactly these bytes.
  void Write(const std::string& name, const std::string& bytes) const {
    std::FILE* f = std::fopen(File(name).c_str(), "wb");
    if (!f) __builtin_trap();  // the scratch directory is ours: a write must work
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
      __builtin_trap();
    std::fclose(f);
  }

  // Removes every entry, so no run sees a file an earlier one left behind.
  void Clear() const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ec))
      std::filesystem::remove_all(entry.path(), ec);
  }

  void Remove(const std::string& name) const { std::remove(File(name).c_str()); }

 private:
  FuzzTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/flashfuzz.XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = std::string(buf.data()) + "/";
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Get().path_, ec);
    });
  }

  std::string path_;
};

}  // namespace flash::fuzz
