// The board's boot ROM: sync, the load of a control program into RAM, and
// the start that hands the line over to the program.
#include "sim/Board.h"

#include <algorithm>
#include <cctype>

#include "sim/BoardFormat.h"

namespace flash::sim {

namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

void Board::BootByte(uint8_t b, int64_t atUs) {
  if (loading_) {
    message_.push_back(b);
    if (message_.size() < static_cast<std::size_t>(loadLength_) + 1) return;
    loading_ = false;
    uint8_t sum = 0;
    for (std::size_t i = 0; i < loadLength_; ++i) sum = static_cast<uint8_t>(sum + message_[i]);
    bool good = sum == message_.back();
    if (good) {
      program_.assign(message_.begin(), message_.end() - 1);
      Log("boot ROM: control program of " + std::to_string(loadLength_) + " bytes loaded at " +
          Hex8(loadAddress_) + "H");
    } else {
      program_.clear();
      Log("boot ROM: block sum " + Hex2(message_.back()) + "H, computed " + Hex2(sum) + "H: refused");
    }
    message_.clear();
    Answer(kBootData, {good ? kBootDataAnswer : kBootNak}, atUs);
    return;
  }
  if (!synced_ || message_.empty()) {
    if (b == kBootSync) {
      synced_ = true;
      ++stats_.syncs;
      Answer(kBootSync, {kBootSyncAnswer}, atUs);
      return;
    }
    if (!synced_) return;  // noise before the first sync
  }
  message_.push_back(b);
  if (message_.size() == kBootFrameSize) BootFrame(atUs);
}

void Board::BootFrame(int64_t atUs) {
  std::vector<uint8_t> frame;
  frame.swap(message_);
  const uint8_t command = frame[0];
  uint8_t sum = 0;
  for (std::size_t i = 0; i + 1 < kBootFrameSize; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  if (sum != frame[9]) {
    Log("boot ROM: frame " + Hex2(command) + "H with a bad checksum: refused");
    Answer(command, {kBootNak}, atUs);
    return;
  }
  const uint32_t address = Le32(&frame[1]);
  const uint32_t length = Le32(&frame[5]);
  if (command == kBootData) {
    if (length == 0 || length > kMaxControlProgram) {
      Log("boot ROM: a block of " + std::to_string(length) + " bytes does not fit the RAM: refused");
      Answer(command, {kBootNak}, atUs);
      return;
    }
    loadAddress_ = address;
    loadLength_ = length;
    if (Answer(command, {kBootDataAnswer}, atUs)) loading_ = true;
    return;
  }
  if (command == kBootStart) {
    if (program_.empty()) {
      Log("boot ROM: start without a loaded program: refused");
      Answer(command, {kBootNak}, atUs);
      return;
    }
    if (Answer(command, {kDone}, atUs)) StartProgram();
    return;
  }
  Log("boot ROM: unknown frame " + Hex2(command) + "H: refused");
  Answer(command, {kBootNak}, atUs);
}

void Board::StartProgram() {
  ++stats_.programsStarted;
  auto hang = [&](const std::string& why) {
    mode_ = BoardMode::Hung;
    running_.reset();
    hangReason_ = why;
    Log("control program does not run: " + why + " (the board is silent until reset)");
  };
  if (loadAddress_ != config_.loadAddress)
    return hang("loaded at " + Hex8(loadAddress_) + "H, built for " + Hex8(config_.loadAddress) + "H");
  auto info = ParseControlProgram(program_);
  if (!info) return hang("not a control program of this board");
  if (!SameNoCase(info->device, config_.device))
    return hang("built for " + info->device + ", this is " + config_.device);
  if (info->crystalIndex >= config_.clocks.size())
    return hang("byte 7 holds crystal index " + std::to_string(info->crystalIndex) + ", the device has " +
                std::to_string(config_.clocks.size()) + " crystals");
  if (!info->crystal.empty() && info->crystal != config_.clocks[info->crystalIndex])
    return hang("built for crystal " + info->crystal + " but byte 7 selects " +
                config_.clocks[info->crystalIndex]);
  mode_ = BoardMode::ControlProgram;
  running_ = info;
  hangReason_.clear();
  message_.clear();
  Log("control program runs: crystal " + config_.clocks[info->crystalIndex] + " (index " +
      std::to_string(info->crystalIndex) + "), " + std::to_string(Rate()) + " bit/s");
}

}  // namespace flash::sim
