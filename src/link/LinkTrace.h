#pragma once
// The link trace: every byte sent and received, with a time stamp, the
// direction and the rate, for a user chasing a failed connection. It is on
// while LINKTRACE.TXT exists in the program directory (appended to), and
// when a caller passes a sink of its own (flashcli --trace: standard error).
// The core writes only to the sinks it is given.
#include <cstdio>
#include <memory>
#include <string>

#include "link/Port.h"

namespace flash {

class Clock;

inline constexpr const char* kLinkTraceFile = "LINKTRACE.TXT";

class TraceSink {
 public:
  virtual ~TraceSink() = default;
  // One line, without its line end.
  virtual void Line(const std::string& text) = 0;
};

// Writes each line to a stdio stream the caller owns (flashcli: stderr).
class StreamTraceSink final : public TraceSink {
 public:
  explicit StreamTraceSink(std::FILE* stream) : stream_(stream) {}
  void Line(const std::string& text) override;

 private:
  std::FILE* stream_;
};

// Appends each line to a file, kept open while the sink lives.
class FileTraceSink final : public TraceSink {
 public:
  explicit FileTraceSink(const std::string& path);
  ~FileTraceSink() override;
  FileTraceSink(const FileTraceSink&) = delete;
  FileTraceSink& operator=(const FileTraceSink&) = delete;
  bool IsOpen() const { return file_ != nullptr; }
  void Line(const std::string& text) override;

 private:
  std::FILE* file_ = nullptr;
};

// "hh:mm:ss.mmm COMn <rate> > 18 00 ..." for a write; "<" for a read,
// "< -" when a read brought nothing; failures, purges and rate changes too.
std::string TraceLine(Clock& clock, int comNumber, int rate, const std::string& event);

// A port that tells every call to the sink before (writes) or after (reads)
// passing it on.
class TracingPort final : public Port {
 public:
  TracingPort(std::unique_ptr<Port> inner, int comNumber, Clock& clock,
              std::unique_ptr<TraceSink> ownSink, TraceSink* extraSink);
  MessageId Configure(int baudRate) override;
  MessageId SetBaudRate(int baudRate) override;
  bool Write(const uint8_t* data, std::size_t count) override;
  bool Read(uint8_t* buffer, std::size_t count, std::size_t* received) override;
  bool Drain(uint32_t* leftAt) override;
  void Purge(bool transmit, bool receive) override;
  uint32_t TakeLineErrors() override;
  bool SetModemLine(ModemLine line, bool on) override;

 private:
  void Emit(const std::string& event);

  std::unique_ptr<Port> inner_;
  int comNumber_;
  Clock& clock_;
  std::unique_ptr<TraceSink> ownSink_;
  TraceSink* extraSink_;
  int rate_ = 0;
};

// Wraps a factory: each port it opens is traced when LINKTRACE.TXT exists in
// programDir at that moment, or when extraSink is given.
class TracingPortFactory final : public PortFactory {
 public:
  TracingPortFactory(std::unique_ptr<PortFactory> inner, std::string programDir, Clock& clock,
                     TraceSink* extraSink)
      : inner_(std::move(inner)), programDir_(std::move(programDir)), clock_(clock),
        extraSink_(extraSink) {}
  std::unique_ptr<Port> Open(int comNumber, std::string* reason) override;

 private:
  std::unique_ptr<PortFactory> inner_;
  std::string programDir_;
  Clock& clock_;
  TraceSink* extraSink_;
};

}  // namespace flash
