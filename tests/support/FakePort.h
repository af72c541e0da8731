#pragma once
// A serial port in fake time. Incoming bytes are scripted at given ticks of
// a FakeClock; a read takes what has come and, where the real call would
// block, advances the clock instead, following the port's time-out rules
// exactly. Writes are recorded with their time and return at once, as the
// real port's do; their bytes leave one after the other at the rate, and a
// responder sees each write when its last byte has arrived (while a port
// call moves the clock past that moment), as a target would.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "link/Port.h"
#include "support/FakeClock.h"

namespace flash::test {

struct FakeWrite {
  uint32_t tick = 0;  // when the call started
  int rate = 0;
  std::vector<uint8_t> bytes;
};

struct FakeModemCall {
  ModemLine line = ModemLine::Dtr;
  bool on = false;
  uint32_t tick = 0;
};

// The line the fake ports of one factory share; it outlives the ports so a
// test can look at it after the link has closed.
struct FakeLine {
  // The clock of the session the ports serve (bound after the session exists).
  FakeClock* clockPtr = nullptr;
  FakeClock& clock() const { return *clockPtr; }

  // Bytes waiting to arrive, in order, at absolute ticks.
  struct Incoming {
    uint32_t tick;
    uint8_t byte;
  };
  std::deque<Incoming> incoming;
  std::vector<FakeWrite> writes;
  std::vector<FakeModemCall> modemCalls;  // every SetModemLine, answered or not
  bool hasModemLines = false;             // SetModemLine succeeds (a pseudo-terminal: no)
  int drainCalls = 0;
  std::vector<std::string> events;  // "open 9600", "rate 19200", "purge tx rx", "close"
  std::deque<uint32_t> lineErrors;  // returned one per TakeLineErrors call

  // Answers each write (the bytes just written) by queueing bytes.
  std::function<void(FakeLine&, const std::vector<uint8_t>&)> responder;

  int rate = 0;  // rate of the open port
  bool open = false;
  bool refuseOpen = false;        // Open fails (another program holds the port)
  MessageId configureResult = 0;  // what Configure returns
  MessageId setRateResult = 0;    // what SetBaudRate returns
  int failWriteCall = -1;         // 0-based index of the write call that fails; -1 none
  bool failReads = false;         // every read call fails
  // From this tick on the device is hung up: reads and writes fail at once.
  std::optional<uint32_t> hangUpAt;
  // Written bytes take the wire time (10 bits a byte at the rate) to arrive;
  // false: they arrive at once.
  bool paceWrites = true;
  int writeCalls = 0;

  // Written bytes not yet seen by the responder, by the tick they arrive.
  struct InFlight {
    uint32_t tick;
    std::size_t write;  // index into writes
  };
  std::deque<InFlight> inFlight;
  uint32_t lineFree = 0;  // the tick (and microseconds past it) the line has sent everything
  uint32_t lineFreeUs = 0;

  // Queues bytes arriving at now + delayMs, spaced by gapMs.
  void Send(const std::vector<uint8_t>& bytes, uint32_t delayMs = 0, uint32_t gapMs = 0);
  void SendAt(uint32_t tick, uint8_t byte) { incoming.push_back({tick, byte}); }
  // Every byte written since the last open, in order.
  std::vector<uint8_t> Written() const;
  bool HungUp() const;
  // When the last byte written arrives (or arrived).
  uint32_t LineFreeTick() const { return lineFree + (lineFreeUs > 0 ? 1 : 0); }
  // Hands the responder every write that has arrived by tick, moving the
  // clock to each arrival that is still ahead; tick not ahead of the clock:
  // only those already due.
  void DeliverUpTo(uint32_t tick);
};

class FakePort final : public Port {
 public:
  explicit FakePort(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
  ~FakePort() override;
  MessageId Configure(int baudRate) override;
  MessageId SetBaudRate(int baudRate) override;
  bool Write(const uint8_t* data, std::size_t count) override;
  bool Read(uint8_t* buffer, std::size_t count, std::size_t* received) override;
  bool Drain(uint32_t* leftAt) override;
  void Purge(bool transmit, bool receive) override;
  uint32_t TakeLineErrors() override;
  bool SetModemLine(ModemLine line, bool on) override;

 private:
  std::shared_ptr<FakeLine> line_;
};

class FakePortFactory final : public PortFactory {
 public:
  FakePortFactory() : line(std::make_shared<FakeLine>()) {}
  void Bind(FakeClock& clock) { line->clockPtr = &clock; }
  std::unique_ptr<Port> Open(int comNumber, std::string* reason) override;

  std::shared_ptr<FakeLine> line;
  std::vector<int> opened;  // COM numbers asked for
};

}  // namespace flash::test
