#include "support/FakePort.h"

#include <algorithm>

namespace flash::test {
namespace {

constexpr uint32_t kByteTimeoutMs = 80;
constexpr uint32_t kCallTimeoutMs = 80;

bool Reached(uint32_t now, uint32_t tick) { return static_cast<int32_t>(now - tick) >= 0; }

void AdvanceTo(FakeClock& clock, uint32_t tick) {
  if (static_cast<int32_t>(tick - clock.TickMs()) > 0) clock.Advance(tick - clock.TickMs());
}

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

void FakeLine::DeliverUpTo(uint32_t tick) {
  if (!Reached(tick, clock().TickMs())) tick = clock().TickMs();
  while (!inFlight.empty() && Reached(tick, inFlight.front().tick)) {
    const InFlight f = inFlight.front();
    inFlight.pop_front();
    AdvanceTo(clock(), f.tick);
    if (responder) responder(*this, writes[f.write].bytes);
  }
}

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
  // What is queued leaves at the old rate first, as on the real port.
  uint32_t left = 0;
  Drain(&left);
  line_->events.push_back("rate " + std::to_string(baudRate));
  if (line_->setRateResult != 0) return line_->setRateResult;
  line_->rate = baudRate;
  return 0;
}

bool FakePort::Write(const uint8_t* data, std::size_t count) {
  FakeLine& l = *line_;
  const int call = l.writeCalls++;
  l.DeliverUpTo(l.clock().TickMs());
  if (l.HungUp() || call == l.failWriteCall) return false;
  const uint32_t now = l.clock().TickMs();
  l.writes.push_back({now, l.rate, std::vector<uint8_t>(data, data + count)});
  // The bytes go out after those still queued, 10 bits each at the rate.
  if (!Reached(l.lineFree, now)) {
    l.lineFree = now;
    l.lineFreeUs = 0;
  }
  if (l.paceWrites && l.rate > 0) {
    const uint64_t us = l.lineFreeUs + count * 10u * 1'000'000u / static_cast<uint64_t>(l.rate);
    l.lineFree += static_cast<uint32_t>(us / 1000);
    l.lineFreeUs = static_cast<uint32_t>(us % 1000);
  }
  l.inFlight.push_back({l.LineFreeTick(), l.writes.size() - 1});
  l.DeliverUpTo(now);
  return true;
}

bool FakePort::Drain(uint32_t* leftAt) {
  FakeLine& l = *line_;
  ++l.drainCalls;
  const uint32_t now = l.clock().TickMs();
  const uint32_t free = l.LineFreeTick();
  if (Reached(now, free)) {
    l.DeliverUpTo(now);
    *leftAt = free;
    return true;
  }
  std::size_t queued = 0;
  for (const auto& f : l.inFlight) queued += l.writes[f.write].bytes.size();
  const uint32_t deadline =
      now + kCallTimeoutMs + kByteTimeoutMs * static_cast<uint32_t>(queued);
  const uint32_t until = Reached(deadline, free) ? free : deadline;
  l.DeliverUpTo(until);
  AdvanceTo(l.clock(), until);
  *leftAt = until;  // at the deadline what is left counts as sent
  return true;
}

bool FakePort::SetModemLine(ModemLine line, bool on) {
  FakeLine& l = *line_;
  l.modemCalls.push_back({line, on, l.clock().TickMs()});
  return l.hasModemLines;
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
    // The target answers bytes that arrive before the next byte comes in.
    const uint32_t next = l.incoming.empty() || static_cast<int32_t>(l.incoming.front().tick - limit) > 0
                              ? limit
                              : l.incoming.front().tick;
    if (!l.inFlight.empty() && Reached(next, l.inFlight.front().tick) &&
        (!l.hangUpAt || !Reached(l.inFlight.front().tick, *l.hangUpAt))) {
      l.DeliverUpTo(l.inFlight.front().tick);
      continue;
    }
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
  l.DeliverUpTo(l.clock().TickMs());
  l.events.push_back(std::string("purge") + (transmit ? " tx" : "") + (receive ? " rx" : ""));
  if (transmit) {
    // Queued bytes never reach the target.
    l.inFlight.clear();
    l.lineFree = l.clock().TickMs();
    l.lineFreeUs = 0;
  }
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
  line->inFlight.clear();
  line->writeCalls = 0;
  line->lineFree = line->clockPtr ? line->clockPtr->TickMs() : 0;
  line->lineFreeUs = 0;
  return std::make_unique<FakePort>(line);
}

}  // namespace flash::test
