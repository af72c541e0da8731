// The board's line: bytes in through its UART to the boot ROM or the control
// program, answers out with the time they may leave.
#include "sim/Board.h"

#include <algorithm>

#include "sim/BoardFormat.h"
#include "sim/Wire.h"

namespace flash::sim {

uint16_t Crc16Xmodem(const uint8_t* data, std::size_t count) {
  uint16_t crc = 0;
  for (std::size_t i = 0; i < count; ++i) {
    crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

Board::Board(BoardConfig config)
    : config_(std::move(config)), flash_(config_.regions), cr_(config_.cr) {}

void Board::Log(const std::string& line) const {
  if (log_) log_(line);
}

int Board::Rate() const {
  if (mode_ == BoardMode::ControlProgram && running_ &&
      running_->crystalIndex < config_.workingRates.size())
    return config_.workingRates[running_->crystalIndex];
  return config_.crystal < config_.bootRates.size() ? config_.bootRates[config_.crystal] : 0;
}

int64_t Board::ByteUs() const { return config_.realisticTiming ? ByteTimeUs(Rate()) : 0; }

void Board::Reset() {
  mode_ = BoardMode::BootRom;
  synced_ = false;
  loading_ = false;
  message_.clear();
  awaitingBlock_ = false;
  paramsWanted_ = 0;
  busyUntilUs_ = 0;
  running_.reset();
  hangReason_.clear();
  out_.clear();
  ++stats_.resets;
  Log("reset: boot ROM waits for the host at " + std::to_string(Rate()) + " bit/s");
}

void Board::Receive(const uint8_t* data, std::size_t count, int hostRate, int64_t nowUs) {
  if (count == 0) return;
  stats_.bytesReceived += static_cast<int>(count);
  const int bootRate = config_.bootRates.empty() ? 0 : config_.bootRates[config_.crystal];
  // A host talking at the boot rate to a running (or hung) control program has
  // asked the user to reset the board; the user does so unless told not to.
  if (mode_ != BoardMode::BootRom && !config_.faults.neverReset && hostRate == bootRate &&
      bootRate != Rate())
    Reset();

  const int rate = Rate();
  std::vector<WireByte> bytes = CrossWire(data, count, hostRate, rate);
  if (hostRate != rate)
    Log("line: host sends at " + std::to_string(hostRate) + " bit/s, board listens at " +
        std::to_string(rate) + " bit/s: " + std::to_string(count) + " byte(s) garbled");
  if (bytes.size() < count) stats_.bytesLost += static_cast<int>(count - bytes.size());
  int64_t byteUs = ByteUs();
  inWireFreeUs_ = std::max(inWireFreeUs_, nowUs);
  for (const WireByte& b : bytes) {
    inWireFreeUs_ += byteUs;
    if (b.framingError) {
      ++stats_.bytesLost;
      continue;
    }
    ByteIn(b.value, inWireFreeUs_);
  }
}

void Board::ByteIn(uint8_t b, int64_t atUs) {
  if (atUs < busyUntilUs_) return;  // erasing: the control program reads nothing
  if (!message_.empty() && atUs - lastByteUs_ > kMessageGapUs) {
    Log("dropped " + std::to_string(message_.size()) + " byte(s) of a message that never ended");
    message_.clear();
    loading_ = false;
    awaitingBlock_ = false;
    paramsWanted_ = 0;
  }
  lastByteUs_ = atUs;
  switch (mode_) {
    case BoardMode::BootRom:
      BootByte(b, atUs);
      break;
    case BoardMode::ControlProgram:
      ProgramByte(b, atUs);
      break;
    case BoardMode::Hung:
      // A control program that does not run answers nothing; with the same
      // rate for boot and work a sync still means the user pressed reset.
      if (b == kBootSync && !config_.faults.neverReset) {
        Reset();
        BootByte(b, atUs);
      }
      break;
  }
}

bool Board::Answer(uint8_t command, std::vector<uint8_t> bytes, int64_t atUs) {
  if (config_.faults.silentCommands.count(command)) {
    Log("fault: no answer to " + Hex2(command) + "H");
    return false;
  }
  if (auto it = config_.faults.wrongAnswers.find(command);
      it != config_.faults.wrongAnswers.end() && !bytes.empty()) {
    Log("fault: answering " + Hex2(it->second) + "H instead of " + Hex2(bytes[0]) + "H to " +
        Hex2(command) + "H");
    Emit({it->second}, atUs);
    return false;  // refused: the command goes no further
  }
  Emit(bytes, atUs);
  return true;
}

void Board::Emit(const std::vector<uint8_t>& bytes, int64_t atUs) {
  const int rate = Rate();
  const int64_t byteUs = ByteUs();
  int64_t t = std::max(outWireFreeUs_, atUs);
  for (uint8_t b : bytes) {
    t += byteUs;  // due once its last bit has crossed the wire
    out_.push_back({b, rate, t});
  }
  outWireFreeUs_ = t;
}

std::vector<uint8_t> Board::TakeDue(int64_t nowUs, int hostRate) {
  std::vector<uint8_t> result;
  while (!out_.empty() && out_.front().dueUs <= nowUs) {
    // One burst at one rate crosses the wire together.
    std::vector<uint8_t> burst;
    const int rate = out_.front().rate;
    while (!out_.empty() && out_.front().dueUs <= nowUs && out_.front().rate == rate) {
      burst.push_back(out_.front().value);
      out_.pop_front();
    }
    for (const WireByte& b : CrossWire(burst.data(), burst.size(), rate, hostRate))
      result.push_back(b.value);  // a pty cannot flag a framing error: the host sees the byte
  }
  return result;
}

std::optional<int64_t> Board::NextDueUs() const {
  if (out_.empty()) return std::nullopt;
  return out_.front().dueUs;
}

}  // namespace flash::sim
