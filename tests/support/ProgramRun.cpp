#include "support/ProgramRun.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

namespace flash::test {

ProgramRun RunCommand(const std::string& command) {
  ProgramRun r;
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int raw = pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

bool ProgramBuilt(const std::string& name) {
  return std::filesystem::exists(std::string(FLASH_BIN_DIR) + "/" + name);
}

std::string InstallProgram(const TempDir& dir, const std::string& name) {
  std::filesystem::copy_file(std::string(FLASH_BIN_DIR) + "/" + name, dir.File(name),
                             std::filesystem::copy_options::overwrite_existing);
  return dir.File(name);
}

}  // namespace flash::test
