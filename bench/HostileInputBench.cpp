// What hostile and oversized input costs, measured on the real programs:
//   - a catalogue of 10,000 complete sections, listed in process and by
//     `flashcli devices` as a whole process;
//   - `flashcli checksum` of a one-record file, whole process, averaged;
//   - the peak resident memory of `flashcli checksum` on a 300 MB file that
//     holds one line without a break.
//
//   HostileInputBench [MB]   (the size of the one-line file, default 300)
//
// flashcli is taken from beside this program and copied into a temporary
// directory of its own, where it finds the catalogue as an installed one would.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Catalogue.h"
#include "base/FileUtil.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
  // Older than the window in which a fresh file is parsed again at each read.
  struct timeval t[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
  utimes(p.c_str(), t);
}

std::string Section(const std::string& name) {
  return "[" + name +
         "]\r\nDownloadFile=DEMO.CP\r\nLoadAddress=0x1000\r\nStartAddress=00000000,00100000\r\n"
         "EndAddress=0000FFFF,00100FFF\r\nFlashSize=68\r\nClock=4MHz,8MHz\r\nBaud=9600,19200\r\n";
}

struct Child {
  int status = -1;
  long maxRssKb = 0;
  double ms = 0;
};

// Runs flashcli in dir with its output thrown away.
Child Run(const fs::path& dir, std::vector<std::string> args) {
  std::vector<char*> argv;
  std::string exe = (dir / "flashcli").string();
  argv.push_back(exe.data());
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (!std::getenv("BENCH_SHOW_ERRORS")) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Child c;
  auto t0 = Clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) return c;
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  c.ms = MsSince(t0);
  c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  c.maxRssKb = ru.ru_maxrss;
  posix_spawn_file_actions_destroy(&actions);
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  const long bigMb = argc > 1 ? std::atol(argv[1]) : 300;
  const std::string here = flash::ExecutableDirectory();
  if (here.empty() || !fs::exists(fs::path(here) / "flashcli")) {
    std::fprintf(stderr, "HostileInputBench: flashcli is not beside this program\n");
    return 2;
  }
  char pattern[] = "/tmp/hostile-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 2;
  const fs::path dir = pattern;
  fs::copy_file(fs::path(here) / "flashcli", dir / "flashcli");

  // 1. Ten thousand sections.
  std::string catalogue;
  for (int i = 0; i < 10000; ++i) catalogue += Section("CHIP" + std::to_string(i));
  WriteFile(dir / "CHIPDEF.INI", catalogue);
  double best = 1e9;
  std::size_t listed = 0;
  for (int run = 0; run < 5; ++run) {
    auto t0 = Clock::now();
    listed = flash::ListDevices((dir / "CHIPDEF.INI").string()).devices.size();
    best = std::min(best, MsSince(t0));
  }
  std::printf("10,000 sections, ListDevices in process:  %.1f ms (%zu listed, best of 5)\n", best,
              listed);
  best = 1e9;
  for (int run = 0; run < 5; ++run) {
    Child c = Run(dir, {"devices"});
    if (c.status != 0) std::printf("  flashcli devices exit %d\n", c.status);
    best = std::min(best, c.ms);
  }
  std::printf("10,000 sections, flashcli devices:        %.1f ms whole process (best of 5)\n", best);

  // 2. One record, the usual catalogue.
  WriteFile(dir / "CHIPDEF.INI", Section("DEMO_A") + Section("DEMO_B"));
  WriteFile(dir / "one.mhx", "S1130800000102030405060708090A0B0C0D0E0F6C\r\n");
  constexpr int kRuns = 300;
  Run(dir, {"checksum", (dir / "one.mhx").string()});  // warm the page cache
  double total = 0;
  int failed = 0;
  for (int run = 0; run < kRuns; ++run) {
    Child c = Run(dir, {"checksum", (dir / "one.mhx").string()});
    failed += c.status != 0;
    total += c.ms;
  }
  if (failed) std::printf("  flashcli checksum failed %d times\n", failed);
  std::printf("flashcli checksum, one record:            %.2f ms whole process (mean of %d)\n",
              total / kRuns, kRuns);

  // 3. One line of bigMb megabytes, no line break: hex digits throughout, so
  // every character must be read and checked before the count refuses it.
  {
    std::ofstream big(dir / "big.mhx", std::ios::binary);
    big << "S1";
    std::string chunk(1 << 20, 'A');
    for (long i = 0; i < bigMb; ++i) big.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  Child c = Run(dir, {"checksum", (dir / "big.mhx").string()});
  std::printf("flashcli checksum, %ld MB in one line:    peak RSS %.1f MB, %.0f ms, exit %d\n", bigMb,
              static_cast<double>(c.maxRssKb) / 1024.0, c.ms, c.status);
  Child small = Run(dir, {"checksum", (dir / "one.mhx").string()});
  std::printf("flashcli checksum, one record:            peak RSS %.1f MB\n",
              static_cast<double>(small.maxRssKb) / 1024.0);

  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
