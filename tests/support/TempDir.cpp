#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace flash::test {

// create_directory reports whether it made the directory, so a name another
// test took is never shared (as with mkdtemp, which Windows lacks).
TempDir::TempDir() {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 pick(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path dir = base / ("flashtest-" + std::to_string(pick() % 1000000000));
    std::error_code ec;
    if (std::filesystem::create_directory(dir, ec)) {
      path_ = dir.generic_string() + "/";
      return;
    }
  }
  throw std::runtime_error("no temporary directory could be made under " + base.string());
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  std::ofstream out(File(name), std::ios::binary);
  out << content;
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool TempDir::Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }

}  // namespace flash::test
