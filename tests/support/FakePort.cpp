#include "support/FakePort.h"

#include <algorithm>

namespace flash::test {
namespace {

constexpr uint32_t kByteTimeoutMs = 80;
constexpr uint32_t kCallTimeoutMs = 80;

bool Reached(uint32_t now, uint32_t tick) { return static_cast<int32_t>(now - tick) >= 0; }

}  // namespace

void FakeLine::Send(const std::vector<uint8_t>& bytes, uint32_t delayMs, uint32_t gapMs) {
  uint32_t t = clock().TickMs() + delayMs;
  for (uint8_t b : bytes) {
    incoming.push_back({t, b});
    t += gapMs;
  }
}

std::vector<uint8_t> FakeLine::Written() const {
  std::vector<uint8_t> out;
  for (const auto& w : writes) out.insert(out.end(), w.bytes.begin(), w.bytes.end());
  return out;
}

bool FakeLine::HungUp() const { return hangUpAt && Reached(clock().TickMs(), *hangUpAt); }

FakePort::~FakePort() {
  line_->open = false;
  line_->events.push_back("close");
}

MessageId FakePort::Configure(int baudRate) {
  line_->events.push_back("open " + std::to_string(baudRate));
  if (line_->configureResult != 0) return line_->configureResult;
  line_->rate = baudRate;
  return 0;
}

MessageId FakePort::SetBaudRate(int baudRate) {
  line_->events.push_back("rate " + std::to_string(baudRate));
  if (line_->setRateResult != 0) return line_->setRateResult;
  line_->rate = baudRate;
  return 0;
}

bool FakePort::Write(const uint8_t* data, std::size_t count) {
  FakeLine& l = *line_;
  const int call = l.writeCalls++;
  if (l.HungUp() || call == l.failWriteCall) return false;
  l.writes.push_back({l.clock().TickMs(), l.rate, std::vector<uint8_t>(data, data + count)});
  if (l.paceWrites && l.rate > 0) {
    // The call returns when the bytes have left, within its write time-out.
    const uint64_t wireMs = (count * 10u * 1000u + static_cast<uint64_t>(l.rate) - 1) / l.rate;
    const uint64_t limit = kCallTimeoutMs + kByteTimeoutMs * count;
    l.clock().Advance(static_cast<uint32_t>(std::min(wireMs, limit)));
  }
  if (l.responder) l.responder(l, l.writes.back().bytes);
  return true;
}

bool FakePort::Read(uint8_t* buffer, std::size_t count, std::size_t* received) {
  FakeLine& l = *line_;
  FakeClock& clock = l.clock();
  *received = 0;
  if (l.failReads || l.HungUp()) return false;
  const uint32_t total = clock.TickMs() + kCallTimeoutMs + kByteTimeoutMs * static_cast<uint32_t>(count);
  uint32_t lastByte = 0;
  std::size_t got = 0;
  while (got < count) {
    // The earliest moment this call gives up.
    uint32_t limit = total;
    if (got > 0 && static_cast<int32_t>((lastByte + kByteTimeoutMs) - total) < 0)
      limit = lastByte + kByteTimeoutMs;
    if (l.hangUpAt && static_cast<int32_t>(*l.hangUpAt - limit) < 0 &&
        (l.incoming.empty() || static_cast<int32_t>(*l.hangUpAt - l.incoming.front().tick) <= 0)) {
      // The device goes away before the next byte: the call fails then.
      if (static_cast<int32_t>(*l.hangUpAt - clock.TickMs()) > 0)
        clock.Advance(*l.hangUpAt - clock.TickMs());
      return false;
    }
    if (l.incoming.empty() || static_cast<int32_t>(l.incoming.front().tick - limit) > 0) {
      if (static_cast<int32_t>(limit - clock.TickMs()) > 0) clock.Advance(limit - clock.TickMs());
      break;
    }
    const uint32_t arrives = l.incoming.front().tick;
    if (static_cast<int32_t>(arrives - clock.TickMs()) > 0) clock.Advance(arrives - clock.TickMs());
    buffer[got++] = l.incoming.front().byte;
    l.incoming.pop_front();
    lastByte = clock.TickMs();
    *received = got;
  }
  return true;
}

void FakePort::Purge(bool transmit, bool receive) {
  FakeLine& l = *line_;
  l.events.push_back(std::string("purge") + (transmit ? " tx" : "") + (receive ? " rx" : ""));
  if (!receive) return;
  const uint32_t now = l.clock().TickMs();
  while (!l.incoming.empty() && Reached(now, l.incoming.front().tick)) l.incoming.pop_front();
}

uint32_t FakePort::TakeLineErrors() {
  FakeLine& l = *line_;
  if (l.lineErrors.empty()) return 0;
  uint32_t e = l.lineErrors.front();
  l.lineErrors.pop_front();
  return e;
}

std::unique_ptr<Port> FakePortFactory::Open(int comNumber, std::string* reason) {
  opened.push_back(comNumber);
  if (line->refuseOpen) {
    if (reason) *reason = "in use by another program";
    return nullptr;
  }
  line->open = true;
  line->writes.clear();
  line->writeCalls = 0;
  return std::make_unique<FakePort>(line);
}

}  // namespace flash::test
