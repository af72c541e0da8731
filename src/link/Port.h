#pragma once
// One open serial device, and the factory that opens one by COM number.
// Each platform has its own implementation; tests use a fake.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/Messages.h"

namespace flash {

// Line-error flags returned by TakeLineErrors.
inline constexpr uint32_t kLineErrorBreak = 0x10;
inline constexpr uint32_t kLineErrorFrame = 0x08;
inline constexpr uint32_t kLineErrorOverrun = 0x02;
inline constexpr uint32_t kLineErrorParity = 0x04;

enum class ModemLine { Dtr, Rts };

class Port {
 public:
  virtual ~Port() = default;
  // Raw 8N1, no flow control, DTR and RTS on, the 80 ms time-outs, at rate.
  // 0, or 210 when the settings cannot be read, 211 when they cannot be set.
  virtual MessageId Configure(int baudRate) = 0;
  // Lets queued bytes leave at the old rate, then changes the rate. 0, 210 or 211.
  virtual MessageId SetBaudRate(int baudRate) = 0;
  // Returns once the driver has taken the bytes, which may still be on their
  // way out; waits for room at most 80 * count + 80 ms (a full queue that
  // does not move: the call counts as written). False when the write call
  // fails (also: the device was hung up). A wait that times the answer to
  // these bytes counts from when they left: see Drain.
  virtual bool Write(const uint8_t* data, std::size_t count) = 0;
  // Returns when count bytes have come, 80 ms after the last byte once one has
  // come, or 80 * count + 80 ms after the call. False when the read call fails.
  virtual bool Read(uint8_t* buffer, std::size_t count, std::size_t* received) = 0;
  // Tells when the bytes written so far left the port, letting any still
  // queued leave first (for at most 80 ms plus 80 ms per queued byte). True
  // with that tick in *leftAt (never later than the return). False when
  // nothing can still be on its way: the port's writes return only once
  // their bytes have left (a port keeps this default then).
  virtual bool Drain(uint32_t* /*leftAt*/) { return false; }
  virtual void Purge(bool transmit, bool receive) = 0;
  // Pending line-error flags since the last call, then cleared; 0 when none
  // or when the driver keeps no counts.
  virtual uint32_t TakeLineErrors() = 0;
  // Drives a modem control line: on asserts it (the state the line settings
  // hold DTR and RTS in), off drops it. False when the device has no modem
  // lines (a pseudo-terminal) or the call fails; a port without them keeps
  // this default.
  virtual bool SetModemLine(ModemLine /*line*/, bool /*on*/) { return false; }
};

class PortFactory {
 public:
  virtual ~PortFactory() = default;
  // Opens COM<comNumber> for exclusive use. Null on failure, with the
  // operating system's reason in *reason (for the user's hint, not the
  // message). A port that opens may still leave a notice there (a trace
  // file that is refused).
  virtual std::unique_ptr<Port> Open(int comNumber, std::string* reason) = 0;
};

}  // namespace flash
