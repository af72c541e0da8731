// The board's control program: the commands it takes once the boot ROM has
// started it, on the flash and the CR.
#include "sim/Board.h"

#include <algorithm>

#include "sim/BoardFormat.h"

namespace flash::sim {

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
