#pragma once
// The one serial link of the process. Opened at the start of a command and
// closed at its end; never held open between two commands.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "base/Messages.h"
#include "link/Port.h"

namespace flash {

class SerialLink {
 public:
  explicit SerialLink(PortFactory& factory) : factory_(factory) {}

  // Closes any open port, opens COM<portNumber> and configures it.
  // 0 on success, else 206, 210 or 211 (the caller reports it).
  MessageId OpenPort(int portNumber, int baudRate);
  void ClosePort();
  bool IsOpen() const { return port_ != nullptr; }
  void PurgePort();     // both directions
  void PurgeReceive();  // receive buffer only
  // 0, 210 or 211. On success CurrentBaudRate() is the new rate.
  MessageId SetBaudRate(int baudRate);
  // One write call; true when it succeeded. Reports nothing.
  bool WriteBlock(const uint8_t* data, std::size_t count);
  // Port::Drain of the open port: true with the tick at which the bytes
  // written so far left; false when closed or when the port's writes return
  // only once their bytes have left.
  bool Drain(uint32_t* leftAt);
  // One read call for up to count bytes; true when it succeeded. Reports nothing.
  bool ReadBlock(uint8_t* buffer, std::size_t count, std::size_t* received = nullptr);
  uint32_t TakeLineErrors();
  // Drives DTR or RTS of the open port; false when closed or without modem lines.
  bool SetModemLine(ModemLine line, bool on);

  int CurrentBaudRate() const { return currentBaudRate_; }
  // The operating system's reason for the last failed open.
  const std::string& LastOpenError() const { return lastOpenError_; }
  // What the last successful open had to say (empty for nothing); taken once.
  std::string TakeOpenNotice() { return std::exchange(openNotice_, std::string()); }

 private:
  PortFactory& factory_;
  std::unique_ptr<Port> port_;
  int currentBaudRate_ = 0;
  std::string lastOpenError_;
  std::string openNotice_;
};

}  // namespace flash
