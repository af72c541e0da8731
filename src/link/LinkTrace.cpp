#include "link/LinkTrace.h"

#include <ctime>

#include "base/Clock.h"
#include "base/FileUtil.h"

namespace flash {
namespace {

std::string Hex(const uint8_t* data, std::size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    out += ' ';
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 0x0F];
  }
  return out;
}

}  // namespace

void StreamTraceSink::Line(const std::string& text) {
  std::fprintf(stream_, "%s\n", text.c_str());
  std::fflush(stream_);
}

FileTraceSink::FileTraceSink(const std::string& path) : file_(OpenForAppending(path)) {
  // Unbuffered, so that each line reaches the file in one write: the boards
  // of a multi-board run append to one trace, and a crash keeps every line
  // up to its last byte.
  if (file_) std::setvbuf(file_, nullptr, _IONBF, 0);
}

FileTraceSink::~FileTraceSink() {
  if (file_) std::fclose(file_);
}

void FileTraceSink::Line(const std::string& text) {
  if (!file_) return;
  const std::string line = text + "\r\n";  // the program's text files use CR LF everywhere
  std::fwrite(line.data(), 1, line.size(), file_);
}

std::string TraceLine(Clock& clock, int comNumber, int rate, const std::string& event) {
  const WallTime now = clock.Now();
  const std::tm tm = LocalTime(now.seconds);
  char head[64];
  std::snprintf(head, sizeof head, "%02d:%02d:%02d.%03d COM%d %d ", tm.tm_hour, tm.tm_min,
                tm.tm_sec, now.milliseconds, comNumber, rate);
  return head + event;
}

TracingPort::TracingPort(std::unique_ptr<Port> inner, int comNumber, Clock& clock,
                         std::unique_ptr<TraceSink> ownSink, TraceSink* extraSink)
    : inner_(std::move(inner)), comNumber_(comNumber), clock_(clock), ownSink_(std::move(ownSink)),
      extraSink_(extraSink) {}

void TracingPort::Emit(const std::string& event) {
  std::string line = TraceLine(clock_, comNumber_, rate_, event);
  if (ownSink_) ownSink_->Line(line);
  if (extraSink_) extraSink_->Line(line);
}

MessageId TracingPort::Configure(int baudRate) {
  MessageId r = inner_->Configure(baudRate);
  if (r == 0) rate_ = baudRate;
  Emit(r == 0 ? "open" : "open failed: " + std::to_string(r));
  return r;
}

MessageId TracingPort::SetBaudRate(int baudRate) {
  MessageId r = inner_->SetBaudRate(baudRate);
  Emit(r == 0 ? "rate " + std::to_string(baudRate) : "rate " + std::to_string(baudRate) + " failed: " + std::to_string(r));
  if (r == 0) rate_ = baudRate;
  return r;
}

bool TracingPort::Write(const uint8_t* data, std::size_t count) {
  Emit(">" + Hex(data, count));
  bool ok = inner_->Write(data, count);
  if (!ok) Emit("> write failed");
  return ok;
}

bool TracingPort::Read(uint8_t* buffer, std::size_t count, std::size_t* received) {
  bool ok = inner_->Read(buffer, count, received);
  if (!ok) Emit("< read failed");
  else if (*received == 0) Emit("< -");
  else Emit("<" + Hex(buffer, *received));
  return ok;
}

// Not a line of the trace: no byte moves, and the writes before it are there.
bool TracingPort::Drain(uint32_t* leftAt) { return inner_->Drain(leftAt); }

void TracingPort::Purge(bool transmit, bool receive) {
  inner_->Purge(transmit, receive);
  Emit(transmit ? (receive ? "purge" : "purge transmit") : "purge receive");
}

bool TracingPort::SetModemLine(ModemLine line, bool on) {
  const bool done = inner_->SetModemLine(line, on);
  Emit(std::string(line == ModemLine::Dtr ? "DTR " : "RTS ") + (on ? "on" : "off") +
       (done ? "" : " (no modem lines)"));
  return done;
}

uint32_t TracingPort::TakeLineErrors() {
  uint32_t e = inner_->TakeLineErrors();
  if (e != 0) {
    char text[32];
    std::snprintf(text, sizeof text, "line errors %02X", static_cast<unsigned>(e));
    Emit(text);
  }
  return e;
}

std::unique_ptr<Port> TracingPortFactory::Open(int comNumber, std::string* reason) {
  std::unique_ptr<Port> port = inner_->Open(comNumber, reason);
  if (!port) return nullptr;
  std::unique_ptr<TraceSink> file;
  const std::string path = programDir_ + kLinkTraceFile;
  if (auto problem = NotPlainFile(path); problem && FileExists(path)) {
    if (reason) *reason = std::string(kLinkTraceFile) + " is not written: " + *problem;
  } else if (IsRegularFile(path)) {
    auto sink = std::make_unique<FileTraceSink>(path);
    if (sink->IsOpen()) file = std::move(sink);
  }
  if (!file && !extraSink_) return port;
  return std::make_unique<TracingPort>(std::move(port), comNumber, clock_, std::move(file), extraSink_);
}

}  // namespace flash
