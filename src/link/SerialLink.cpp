#include "link/SerialLink.h"

namespace flash {

MessageId SerialLink::OpenPort(int portNumber, int baudRate) {
  ClosePort();
  lastOpenError_.clear();
  port_ = factory_.Open(portNumber, &lastOpenError_);
  if (!port_) return msg::kOpenPort;
  openNotice_ = std::exchange(lastOpenError_, std::string());
  // A failed configuration leaves the port open; the caller's ClosePort releases it.
  if (MessageId r = port_->Configure(baudRate); r != 0) return r;
  currentBaudRate_ = baudRate;
  return 0;
}

void SerialLink::ClosePort() { port_.reset(); }

void SerialLink::PurgePort() {
  if (port_) port_->Purge(true, true);
}

void SerialLink::PurgeReceive() {
  if (port_) port_->Purge(false, true);
}

MessageId SerialLink::SetBaudRate(int baudRate) {
  if (!port_) return msg::kPortInfo;
  if (MessageId r = port_->SetBaudRate(baudRate); r != 0) return r;
  currentBaudRate_ = baudRate;
  return 0;
}

bool SerialLink::WriteBlock(const uint8_t* data, std::size_t count) {
  return port_ && port_->Write(data, count);
}

bool SerialLink::Drain(uint32_t* leftAt) { return port_ && port_->Drain(leftAt); }

bool SerialLink::ReadBlock(uint8_t* buffer, std::size_t count, std::size_t* received) {
  std::size_t got = 0;
  bool ok = port_ && port_->Read(buffer, count, &got);
  if (received) *received = got;
  return ok;
}

uint32_t SerialLink::TakeLineErrors() { return port_ ? port_->TakeLineErrors() : 0; }

bool SerialLink::SetModemLine(ModemLine line, bool on) {
  return port_ && port_->SetModemLine(line, on);
}

}  // namespace flash
