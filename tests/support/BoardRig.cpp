#include "support/BoardRig.h"

#include <cstdio>

#include "app/Startup.h"
#include "base/Catalogue.h"
#include "link/BootDownload.h"
#include "sim/ChipDefinition.h"
#include "sim/ControlProgram.h"

namespace flash::test {

BoardRig::BoardRig(std::vector<std::string> args, const std::string& catalogue, int crystal)
    : rig(std::move(args)) {
  dir().Write("CHIPDEF.INI", catalogue);
  dir().Write("DATAFILE.TXT", "[Recent]\r\nRATE=" + std::to_string(crystal) + "\r\n");
  StartUp(s(), dir().Path());
  DeviceDefinition def = SelectedDevice(s());
  std::vector<uint8_t> program = sim::MakeControlProgram(def.name, "");
  dir().Write(def.downloadFile, std::string(program.begin(), program.end()));
  std::string problem;
  auto config = sim::ConfigFromDefinition(sim::ReadChipDefinition(s().state.catalogPath, def.name),
                                          static_cast<std::size_t>(crystal), &problem);
  board_ = std::make_unique<sim::Board>(*config);
  sim::Board* board = board_.get();
  line().responder = [board](FakeLine& l, const std::vector<uint8_t>& bytes) {
    const int64_t nowUs = static_cast<int64_t>(l.clock().TickMs()) * 1000;
    board->Receive(bytes.data(), bytes.size(), l.rate, nowUs);
    while (auto due = board->NextDueUs()) {
      for (uint8_t b : board->TakeDue(*due, l.rate))
        l.SendAt(static_cast<uint32_t>(*due / 1000), b);
    }
  };
}

void BoardRig::UseHexFile(const std::string& name, const std::string& content) {
  dir().Write(name, content);
  state().hexFilePath = dir().File(name);
  state().hexFileName = name;
}

bool BoardRig::Download() {
  bool ok = !RunDownload(s(), false);
  // The reset prompt and the result box are the download's; tests look at what follows.
  ui().boxes.clear();
  return ok;
}

std::string SRecords(uint32_t address, const std::vector<uint8_t>& data) {
  std::string out;
  for (std::size_t i = 0; i < data.size(); i += 16) {
    std::size_t n = std::min<std::size_t>(16, data.size() - i);
    uint32_t a = address + static_cast<uint32_t>(i);
    unsigned sum = static_cast<unsigned>(n + 5);
    char buf[80];
    std::snprintf(buf, sizeof buf, "S3%02X%08X", static_cast<unsigned>(n + 5), a);
    out += buf;
    for (int k = 0; k < 4; ++k) sum += (a >> (8 * k)) & 0xFF;
    for (std::size_t k = 0; k < n; ++k) {
      std::snprintf(buf, sizeof buf, "%02X", data[i + k]);
      out += buf;
      sum += data[i + k];
    }
    std::snprintf(buf, sizeof buf, "%02X\n", ~sum & 0xFF);
    out += buf;
  }
  return out;
}

}  // namespace flash::test
