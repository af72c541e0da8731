// Loads a dense 3 MiB image (one region, 0 to 0x2FFFFF, 16 data bytes per
// line) from S3 records and from Intel HEX, and prints the load + checksum
// rate in MB/s of input text.
//
//   ImageLoadBench             generate into a temporary directory and time
//   ImageLoadBench --write DIR only write DIR/dense3m.s37 and DIR/dense3m.hex
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "base/Clock.h"
#include "base/Session.h"
#include "frontend/HeadlessFrontEnd.h"
#include "image/Checksum.h"
#include "image/HexLoader.h"
#include "link/SerialLink.h"
#include "ops/StandardOutlets.h"

namespace {

using namespace flash;

constexpr uint32_t kImageSize = 0x300000;
constexpr int kRuns = 7;

class NoPorts final : public PortFactory {
 public:
  std::unique_ptr<Port> Open(int, std::string*) override { return nullptr; }
};

uint8_t PayloadByte(uint32_t a) {
  uint32_t x = a * 2654435761u;
  return static_cast<uint8_t>(x >> 24 ^ x >> 11);
}

void Hex(std::string& out, uint32_t v, int digits) {
  static const char k[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) out += k[(v >> (4 * i)) & 0xF];
}

std::string MakeS3() {
  std::string out;
  out.reserve(9 << 20);
  out += "S0030000FC\n";  // an empty header
  for (uint32_t a = 0; a < kImageSize; a += 16) {
    unsigned sum = 21 + (a >> 24) + ((a >> 16) & 0xFF) + ((a >> 8) & 0xFF) + (a & 0xFF);
    out += "S315";
    Hex(out, a, 8);
    for (uint32_t k = 0; k < 16; ++k) {
      Hex(out, PayloadByte(a + k), 2);
      sum += PayloadByte(a + k);
    }
    Hex(out, ~sum & 0xFF, 2);
    out += '\n';
  }
  out += "S70500000000FA\n";
  return out;
}

std::string MakeIntelHex() {
  std::string out;
  out.reserve(9 << 20);
  for (uint32_t a = 0; a < kImageSize; a += 16) {
    if ((a & 0xFFFF) == 0) {
      unsigned sum = 2 + 4 + (a >> 24) + ((a >> 16) & 0xFF);
      out += ":02000004";
      Hex(out, a >> 16, 4);
      Hex(out, (0x100 - (sum & 0xFF)) & 0xFF, 2);
      out += '\n';
    }
    unsigned sum = 16 + ((a >> 8) & 0xFF) + (a & 0xFF);
    out += ":10";
    Hex(out, a & 0xFFFF, 4);
    out += "00";
    for (uint32_t k = 0; k < 16; ++k) {
      Hex(out, PayloadByte(a + k), 2);
      sum += PayloadByte(a + k);
    }
    Hex(out, (0x100 - (sum & 0xFF)) & 0xFF, 2);
    out += '\n';
  }
  out += ":00000001FF\n";
  return out;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// Every byte of the region comes from the file (0x100002 and 0x100003 included:
// inside a region they are flash bytes like any other).
int ExpectedSum() {
  uint32_t sum = 0;
  for (uint32_t a = 0; a < kImageSize; ++a)
    sum += PayloadByte(a);
  return static_cast<int>(sum & 0xFFFF);
}

bool Time(Session& s, const char* name, const std::string& path, std::size_t bytes) {
  s.state.hexFilePath = path;
  double best = 1e9;
  int sum = -1;
  for (int i = 0; i < kRuns; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    sum = LoadHexFile(s, false, 0xFF) ? SumRegions(s.state, 0xFF) : kChecksumFailed;
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  if (sum != ExpectedSum()) {
    std::fprintf(stderr, "%s: checksum %04X, expected %04X\n", name, sum, ExpectedSum());
    return false;
  }
  std::printf("%-10s %6.2f MB  %7.2f ms  %7.1f MB/s  (LoadHexFile + checksum, best of %d)\n", name,
              static_cast<double>(bytes) / 1e6, best * 1e3, static_cast<double>(bytes) / 1e6 / best, kRuns);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const bool writeOnly = argc == 3 && std::strcmp(argv[1], "--write") == 0;
  if (argc != 1 && !writeOnly) {
    std::fprintf(stderr, "usage: ImageLoadBench [--write DIR]\n");
    return 2;
  }
  fs::path dir = writeOnly ? fs::path(argv[2])
                           : fs::temp_directory_path() / ("imagebench-" + std::to_string(std::random_device{}()));
  std::error_code ec;
  fs::create_directories(dir, ec);
  const std::string s3 = MakeS3(), ihex = MakeIntelHex();
  const std::string s3Path = (dir / "dense3m.s37").string(), hexPath = (dir / "dense3m.hex").string();
  if (!WriteFile(s3Path, s3) || !WriteFile(hexPath, ihex)) {
    std::fprintf(stderr, "cannot write into %s\n", dir.string().c_str());
    return 1;
  }
  if (writeOnly) {
    std::printf("%04X\n", static_cast<unsigned>(ExpectedSum()));
    return 0;
  }
  HeadlessFrontEnd ui(stderr);
  SystemClock clock;
  NoPorts ports;
  SerialLink link(ports);
  Session s(ui, clock, link, CommandLine(), StandardOutlets());
  s.state.regionCount = 1;
  s.state.regionStarts[0] = 0;
  s.state.regionEnds[0] = kImageSize - 1;
  s.state.image.SetBase(0);
  bool ok = Time(s, "S3", s3Path, s3.size()) && Time(s, "Intel HEX", hexPath, ihex.size());
  fs::remove_all(dir, ec);
  return ok ? 0 : 1;
}
