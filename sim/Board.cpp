#include "sim/Board.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/Catalogue.h"
#include "sim/Wire.h"

namespace flash::sim {

namespace {

std::string Hex8(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

std::string Hex2(uint8_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v);
  return buf;
}

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reports give addresses and values most significant byte first, so that the
// host, which prints them in the order received, shows them as numbers.
void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

uint16_t Crc16Xmodem(const uint8_t* data, std::size_t count) {
  uint16_t crc = 0;
  for (std::size_t i = 0; i < count; ++i) {
    crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

std::optional<BoardConfig> ConfigFromDefinition(const DeviceDefinition& def, std::size_t crystal,
                                                std::string* problem) {
  auto fail = [&](std::string why) -> std::optional<BoardConfig> {
    if (problem) *problem = std::move(why);
    return std::nullopt;
  };
  if (auto p = DefinitionProblem(def)) return fail(*p);
  if (crystal >= def.clocks.size())
    return fail("the board's crystal " + std::to_string(crystal) + " is not in the Clock list");
  BoardConfig c;
  c.device = def.name;
  c.loadAddress = def.loadAddress;
  c.clocks = def.clocks;
  c.crystal = crystal;
  std::size_t total = 0;
  for (std::size_t i = 0; i < def.regionEnds.size(); ++i) {
    Region r{def.regionStarts[i], def.regionEnds[i]};
    total += r.Size();
    if (total > kMaxFlashBytes)
      return fail("the flash regions add up to more than " + std::to_string(kMaxFlashBytes) +
                  " bytes");
    c.regions.push_back(r);
  }
  for (std::size_t i = 0; i < def.clocks.size(); ++i) {
    c.bootRates.push_back(def.BootBaud(i));
    c.workingRates.push_back(def.WorkingBaud(i));
  }
  return c;
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

// ---- Boot ROM ----

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

// ---- Control program ----

void Board::ProgramByte(uint8_t b, int64_t atUs) {
  if (awaitingBlock_) {
    message_.push_back(b);
    if (message_.size() == kDataBlock + 2) ProgramData(atUs);
    return;
  }
  if (paramsWanted_ > 0) {
    message_.push_back(b);
    if (message_.size() == paramsWanted_) Command(atUs);
    return;
  }
  command_ = b;
  message_.clear();
  switch (b) {
    case kCmdRateCheck:
      ++stats_.rateChecks;
      Answer(b, {kDone}, atUs);
      return;
    case kCmdProgram:
    case kCmdRead:
    case kCmdErase:
    case kCmdCrRead:
    case kCmdCrSet:
      paramsWanted_ = 4;
      return;
    case kCmdBlankCheck:
      paramsWanted_ = 8;
      return;
    case kBootSync:
      // Not a command: with one rate for boot and work, this is the host
      // starting a download after the user pressed reset.
      if (!config_.faults.neverReset) {
        Reset();
        BootByte(b, atUs);
      }
      return;
    default:
      Log("control program: unknown command " + Hex2(b) + "H ignored");
      return;
  }
}

void Board::Command(int64_t atUs) {
  std::vector<uint8_t> params;
  params.swap(message_);
  paramsWanted_ = 0;
  const uint32_t p0 = Le32(params.data());
  switch (command_) {
    case kCmdProgram:
      if (!flash_.Contains(p0)) {
        Log("program: " + Hex8(p0) + "H is not in the flash");
        Answer(command_, {kBadAddress}, atUs);
        return;
      }
      blockAddress_ = p0;
      if (Answer(command_, {kDone}, atUs)) awaitingBlock_ = true;
      return;
    case kCmdRead:
      if (!flash_.Contains(p0)) {
        Log("read: " + Hex8(p0) + "H is not in the flash");
        Answer(command_, {kBadAddress}, atUs);
        return;
      }
      ReadBlock(p0, atUs);
      return;
    case kCmdErase:
      if (p0 != config_.regions.front().end)
        Log("erase: end address " + Hex8(p0) + "H is not the end of the first region; erasing all");
      Erase(atUs);
      return;
    case kCmdCrRead: {
      static constexpr uint8_t kKey[4] = {0x11, 0x22, 0x33, 0x44};
      if (!std::equal(params.begin(), params.end(), kKey)) {
        Log("CR read: wrong key bytes, ignored");
        return;
      }
      ++stats_.crReads;
      std::vector<uint8_t> answer{kBusy};
      answer.insert(answer.end(), cr_.begin(), cr_.end());
      answer.push_back(kDone);
      Answer(command_, answer, atUs);
      return;
    }
    case kCmdCrSet: {
      // The CR keeps two words; a set fills the first that is still erased.
      auto blank = [&](std::size_t from) {
        return std::all_of(cr_.begin() + static_cast<std::ptrdiff_t>(from),
                           cr_.begin() + static_cast<std::ptrdiff_t>(from + 4),
                           [](uint8_t v) { return v == kErased; });
      };
      std::size_t slot = blank(0) ? 0 : blank(4) ? 4 : 8;
      if (slot == 8) {
        Log("CR set: both CR words are in use");
        Answer(command_, {kFailed}, atUs);
        return;
      }
      std::copy(params.begin(), params.end(), cr_.begin() + static_cast<std::ptrdiff_t>(slot));
      ++stats_.crSets;
      Answer(command_, {kDone}, atUs);
      return;
    }
    case kCmdBlankCheck:
      BlankCheck(p0, Le32(params.data() + 4), atUs);
      return;
    default:
      return;
  }
}

void Board::ProgramData(int64_t atUs) {
  std::vector<uint8_t> block;
  block.swap(message_);
  awaitingBlock_ = false;
  ++stats_.programAttempts;
  const Faults& f = config_.faults;
  if (Crc16Xmodem(block.data(), block.size()) != 0 || stats_.programAttempts == f.crcErrorBlock) {
    Log("program " + Hex8(blockAddress_) + "H: CRC mismatch");
    Answer(kCmdProgram, {kCrcMismatch}, atUs);
    return;
  }
  std::optional<uint32_t> failed;
  for (uint32_t i = 0; i < kDataBlock; ++i) {
    const uint32_t a = blockAddress_ + i;
    if (a < blockAddress_) break;  // the top of the address space
    bool ok = flash_.Program(a, block[i]);
    if (f.verifyErrorAt && *f.verifyErrorAt == a && flash_.Contains(a)) {
      flash_.Poke(a, static_cast<uint8_t>(block[i] ^ 0x01));  // a weak cell
      ok = false;
    }
    if (!ok && !failed) failed = a;
  }
  if (!failed) {
    ++stats_.blocksProgrammed;
    Answer(kCmdProgram, {kDone}, atUs);
    return;
  }
  // Verify error: the half-word that failed, what was wanted and what is there.
  const uint32_t at = *failed & ~1u;
  auto wanted = [&](uint32_t a) -> uint8_t {
    return a >= blockAddress_ && a - blockAddress_ < kDataBlock ? block[a - blockAddress_] : kErased;
  };
  std::vector<uint8_t> report{kFailed};
  PutBe32(report, at);
  if (f.timingLimitOver) {
    report.insert(report.end(), {0xFF, 0xFF, 0xFF, 0xFF});
  } else {
    report.push_back(wanted(at));
    report.push_back(wanted(at + 1));
    report.push_back(flash_.Read(at));
    report.push_back(flash_.Read(at + 1));
  }
  report.push_back(kDone);
  Log("program " + Hex8(blockAddress_) + "H: verify error at " + Hex8(*failed) + "H");
  Answer(kCmdProgram, report, atUs);
}

void Board::ReadBlock(uint32_t address, int64_t atUs) {
  ++readBlocksSent_;
  std::vector<uint8_t> data(kDataBlock);
  for (uint32_t i = 0; i < kDataBlock; ++i) data[i] = flash_.Read(address + i);
  uint16_t crc = Crc16Xmodem(data.data(), data.size());
  const Faults& f = config_.faults;
  if (readBlocksSent_ == f.crcErrorBlock) {
    Log("fault: read block " + Hex8(address) + "H goes out with a bad CRC");
    crc = static_cast<uint16_t>(crc ^ 0x5AA5);
  }
  if (readBlocksSent_ == f.lineErrorBlock) {
    Log("fault: line noise hits read block " + Hex8(address) + "H");
    data[kDataBlock / 2] = static_cast<uint8_t>(data[kDataBlock / 2] ^ 0x10);
  }
  std::vector<uint8_t> answer{kDone};
  answer.insert(answer.end(), data.begin(), data.end());
  answer.push_back(static_cast<uint8_t>(crc >> 8));
  answer.push_back(static_cast<uint8_t>(crc));
  answer.push_back(kDone);
  if (Answer(kCmdRead, answer, atUs)) ++stats_.blocksRead;
}

void Board::Erase(int64_t atUs) {
  ++stats_.erases;
  const int64_t doneUs = atUs + std::max<int64_t>(config_.eraseUs, 0);
  if (config_.faults.silentCommands.count(kCmdErase)) {
    Log("fault: no answer to 38H");
    busyUntilUs_ = doneUs;
    return;
  }
  flash_.EraseAll();
  cr_.fill(kErased);  // the CR lives in the flash and goes with it
  if (config_.faults.notBlankAt) flash_.Poke(*config_.faults.notBlankAt, 0x00);
  busyUntilUs_ = doneUs;
  for (int64_t t = atUs; t < doneUs; t += kBusyIntervalUs) Emit({kBusy}, t);
  Log("erase: all regions and the CR erased");
  Answer(kCmdErase, {kDone}, doneUs);
}

void Board::BlankCheck(uint32_t start, uint32_t endExclusive, int64_t atUs) {
  ++stats_.blankChecks;
  const uint32_t last = endExclusive - 1;  // an end of 0 is the top of the address space
  if (last < start || !flash_.Contains(start)) {
    Log("blank check: " + Hex8(start) + "H to " + Hex8(endExclusive) + "H is not a flash range");
    Answer(kCmdBlankCheck, {kBadAddress}, atUs);
    return;
  }
  auto first = flash_.FirstNotBlank(start, last);
  if (!first) {
    Answer(kCmdBlankCheck, {kDone}, atUs);
    return;
  }
  const uint32_t word = *first & ~3u;
  std::vector<uint8_t> report{kFailed};
  PutBe32(report, word);
  for (uint32_t i = 0; i < 4; ++i) report.push_back(flash_.Read(word + i));
  report.push_back(kDone);
  Log("blank check: not blank at " + Hex8(*first) + "H");
  Answer(kCmdBlankCheck, report, atUs);
}

}  // namespace flash::sim
