#include "support/SimHarness.h"

#include "base/Catalogue.h"
#include "base/CommandLine.h"
#include "base/Profile.h"
#include "base/Settings.h"
#include "link/SystemPort.h"
#include "ops/StandardOutlets.h"
#include "sim/ChipDefinition.h"
#include "sim/ControlProgram.h"

namespace flash::test {

namespace {

sim::BoardConfig ConfigFor(const std::string& catalogPath, const std::string& device,
                           std::size_t crystal, std::string* error) {
  auto config = sim::ConfigFromDefinition(sim::ReadChipDefinition(catalogPath, device), crystal, error);
  if (!config) {
    *error = device + ": " + *error;
    // A board that cannot be started; Start() reports why.
    return {};
  }
  config->eraseUs = kHarnessEraseMs * 1000;
  return *config;
}

}  // namespace

SimHarness::SimHarness(const std::string& catalogPath, const std::string& device, std::size_t crystal)
    : events_(std::make_shared<std::vector<std::string>>()) {
  sim::BoardConfig config = ConfigFor(catalogPath, device, crystal, &error_);
  server_ = std::make_unique<sim::PtyServer>(std::move(config));
}

SimHarness::SimHarness(sim::BoardConfig config)
    : server_(std::make_unique<sim::PtyServer>(std::move(config))),
      events_(std::make_shared<std::vector<std::string>>()) {}

SimHarness::~SimHarness() { Stop(); }

bool SimHarness::Start() {
  if (!error_.empty()) return false;
  bool usable = WithBoard([&](sim::Board& b) {
    auto events = events_;
    b.SetLog([events](const std::string& line) { events->push_back(line); });
    return !b.Config().regions.empty();
  });
  if (!usable) {
    error_ = "the board has no flash";
    return false;
  }
  return server_->Start(&error_);
}

void SimHarness::Stop() {
  if (server_) server_->Stop();
}

const std::string& SimHarness::SlavePath() const { return server_->SlavePath(); }

bool SimHarness::PointCom(const std::string& programDir, int comNumber) {
  if (SlavePath().empty()) {
    error_ = "the board is not started";
    return false;
  }
  if (!profile::WriteString(programDir + kCustomizeFile, "Ports", "COM" + std::to_string(comNumber),
                            SlavePath())) {
    error_ = programDir + kCustomizeFile + ": cannot be written";
    return false;
  }
  return true;
}

std::vector<uint8_t> SimHarness::ReadFlash(uint32_t address, std::size_t count) {
  return WithBoard([&](sim::Board& b) {
    std::vector<uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = b.Flash().Read(address + static_cast<uint32_t>(i));
    return out;
  });
}

void SimHarness::WriteFlash(uint32_t address, const std::vector<uint8_t>& bytes) {
  WithBoard([&](sim::Board& b) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
      b.Flash().Poke(address + static_cast<uint32_t>(i), bytes[i]);
  });
}

void SimHarness::FillFlashPattern() {
  WithBoard([](sim::Board& b) { b.Flash().FillPattern(); });
}

void SimHarness::EraseFlash() {
  WithBoard([](sim::Board& b) { b.Flash().EraseAll(); });
}

std::array<uint8_t, 8> SimHarness::Cr() {
  return WithBoard([](sim::Board& b) { return b.Cr(); });
}

void SimHarness::SetCr(const std::array<uint8_t, 8>& cr) {
  WithBoard([&](sim::Board& b) { b.Cr() = cr; });
}

void SimHarness::SetFaults(const sim::Faults& faults) {
  WithBoard([&](sim::Board& b) { b.SetFaults(faults); });
}

void SimHarness::SetEraseMs(int64_t ms) {
  WithBoard([&](sim::Board& b) { b.SetEraseUs(ms * 1000); });
}

void SimHarness::Reset() {
  WithBoard([](sim::Board& b) { b.Reset(); });
}

void SimHarness::PullCable() { server_->PullCable(); }

void SimHarness::PullCableAfter(long bytesReceived) {
  long already = Stats().bytesReceived;
  server_->PullCableAfter(already + bytesReceived);
}

sim::BoardMode SimHarness::Mode() {
  return WithBoard([](sim::Board& b) { return b.Mode(); });
}

int SimHarness::Rate() {
  return WithBoard([](sim::Board& b) { return b.Rate(); });
}

std::vector<uint8_t> SimHarness::LoadedProgram() {
  return WithBoard([](sim::Board& b) { return b.LoadedProgram(); });
}

std::string SimHarness::HangReason() {
  return WithBoard([](sim::Board& b) { return b.HangReason(); });
}

sim::BoardStats SimHarness::Stats() {
  return WithBoard([](sim::Board& b) { return b.Stats(); });
}

std::vector<std::string> SimHarness::Events() {
  return WithBoard([&](sim::Board&) { return *events_; });
}

std::string SimHarness::EventText() {
  std::string text;
  for (const std::string& line : Events()) text += "  board: " + line + "\n";
  return text;
}

}  // namespace flash::test

namespace flash::test {

SimRig::SimRig(std::vector<std::string> args)
    : ports(MakeSystemPortFactory(dir.Path(), clock)),
      link(std::make_unique<SerialLink>(*ports)),
      session(std::make_unique<Session>(ui, clock, *link, CommandLine(std::move(args)),
                                        StandardOutlets(), &ui)) {
  session->state.programDir = dir.Path();
  session->state.catalogPath = dir.File(kCatalogueFile);
}

SimRig::~SimRig() {
  link->ClosePort();  // before the board goes, so the port never sees a hang-up
  if (board) board->Stop();
}

bool SimRig::Use(const std::string& catalogue, const std::string& device, int crystal,
                 std::optional<std::size_t> boardCrystal) {
  dir.Write(kCatalogueFile, catalogue);
  state().deviceNames = ListDevices(state().catalogPath).devices;
  state().deviceIndex = -1;
  for (std::size_t i = 0; i < state().deviceNames.size(); ++i)
    if (profile::EqualsNoCase(state().deviceNames[i], device)) state().deviceIndex = static_cast<int>(i);
  if (state().deviceIndex < 0) {
    error_ = device + " is not a complete device of the catalogue";
    return false;
  }
  state().crystalIndex = crystal;
  ApplySelectedDevice(*session);
  state().settings.comPortIndex = 0;
  board = std::make_unique<SimHarness>(state().catalogPath, state().deviceNames[state().deviceIndex],
                                       boardCrystal.value_or(static_cast<std::size_t>(crystal)));
  return board->Start() && board->PointCom(dir.Path(), 1);
}

void SimRig::WriteControlProgram(const std::string& fileName, const std::string& device,
                                 const std::string& forCrystal, std::size_t size) {
  std::vector<uint8_t> bytes = sim::MakeControlProgram(device, forCrystal, size);
  dir.Write(fileName, std::string(bytes.begin(), bytes.end()));
}

std::string SimRig::Error() const {
  if (!error_.empty()) return error_;
  return board ? board->Error() : std::string();
}

}  // namespace flash::test
