// The Win32 serial port: the communication time-outs of the driver give the
// link's read and write limits directly, and WriteFile on a port opened
// without overlapped I/O returns when the bytes have left; FlushFileBuffers
// waits for any the driver still holds.
#include <windows.h>

#include <memory>
#include <string>

#include "base/Clock.h"
#include "base/Settings.h"
#include "base/WideTextWin32.h"
#include "link/LinkTrace.h"
#include "link/SystemPort.h"

namespace flash {
namespace {

constexpr DWORD kTimeoutMs = 80;  // every one of the five communication time-outs

std::string ErrorText(DWORD err) {
  char buf[256] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err,
                           0, buf, sizeof buf, nullptr);
  while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == '.')) buf[--n] = 0;
  return n ? std::string(buf) : "error " + std::to_string(err);
}

class Win32Port final : public Port {
 public:
  Win32Port(HANDLE h, Clock& clock) : handle_(h), clock_(clock), leftAt_(clock.TickMs()) {}
  ~Win32Port() override { CloseHandle(handle_); }
  Win32Port(const Win32Port&) = delete;
  Win32Port& operator=(const Win32Port&) = delete;

  MessageId Configure(int baudRate) override {
    COMMTIMEOUTS t{};
    if (!GetCommTimeouts(handle_, &t)) return msg::kPortInfo;
    t.ReadIntervalTimeout = kTimeoutMs;
    t.ReadTotalTimeoutMultiplier = kTimeoutMs;
    t.ReadTotalTimeoutConstant = kTimeoutMs;
    t.WriteTotalTimeoutMultiplier = kTimeoutMs;
    t.WriteTotalTimeoutConstant = kTimeoutMs;
    if (!SetCommTimeouts(handle_, &t)) return msg::kPortSetting;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) return msg::kPortInfo;
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    // Whatever the driver or the last program left: a plain 8N1 line. An
    // abort on error would fail every later read until ClearCommError; a
    // dropped NUL or a replaced error byte would corrupt the data.
    dcb.fAbortOnError = FALSE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    if (baudRate <= 0 || !SetCommState(handle_, &dcb)) return msg::kPortSetting;
    return 0;
  }

  MessageId SetBaudRate(int baudRate) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) return msg::kPortInfo;
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    FlushFileBuffers(handle_);  // what the driver still holds leaves at the old rate
    if (baudRate <= 0 || !SetCommState(handle_, &dcb)) return msg::kPortSetting;
    return 0;
  }

  bool Write(const uint8_t* data, std::size_t count) override {
    DWORD written = 0;
    const bool ok = WriteFile(handle_, data, static_cast<DWORD>(count), &written, nullptr) != 0;
    leftAt_ = clock_.TickMs();
    return ok;
  }

  bool Drain(uint32_t* leftAt) override {
    const uint32_t before = clock_.TickMs();
    FlushFileBuffers(handle_);
    // A flush that waited saw bytes leave only now.
    if (clock_.TickMs() != before) leftAt_ = clock_.TickMs();
    *leftAt = leftAt_;
    return true;
  }

  bool SetModemLine(ModemLine line, bool on) override {
    const DWORD function = line == ModemLine::Dtr ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
    // A driver without modem lines fails it, ERROR_NOT_SUPPORTED or another
    // error alike: there is nothing to drive either way.
    return EscapeCommFunction(handle_, function) != 0;
  }

  bool Read(uint8_t* buffer, std::size_t count, std::size_t* received) override {
    DWORD got = 0;
    BOOL ok = ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, nullptr);
    *received = got;
    return ok != 0;
  }

  void Purge(bool transmit, bool receive) override {
    DWORD flags = (transmit ? PURGE_TXCLEAR : 0) | (receive ? PURGE_RXCLEAR : 0);
    if (flags) PurgeComm(handle_, flags);
    if (transmit) leftAt_ = clock_.TickMs();
  }

  uint32_t TakeLineErrors() override {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle_, &errors, &stat)) return 0;
    // The CE_ flags are the link's own line-error flags; a full input buffer
    // (CE_RXOVER) loses bytes as an overrun of the UART does.
    uint32_t flags = static_cast<uint32_t>(errors) &
                     (kLineErrorBreak | kLineErrorFrame | kLineErrorOverrun | kLineErrorParity);
    if (errors & CE_RXOVER) flags |= kLineErrorOverrun;
    return flags;
  }

 private:
  HANDLE handle_;
  Clock& clock_;
  uint32_t leftAt_;  // when the last written byte left
};

class Win32PortFactory final : public PortFactory {
 public:
  Win32PortFactory(std::string programDir, Clock& clock, std::string devicePath)
      : programDir_(std::move(programDir)), clock_(clock), devicePath_(std::move(devicePath)) {}
  std::unique_ptr<Port> Open(int comNumber, std::string* reason) override {
    const std::string path =
        devicePath_.empty() ? ComDevicePath(programDir_, comNumber) : devicePath_;
    // No sharing: a second opener, this program or another, is refused.
    // Windows' serial drivers refuse it; Wine on a Unix terminal lets a
    // second process in, so there only one program may use the port.
    HANDLE h = CreateFileW(Utf16(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (reason) *reason = path + ": " + ErrorText(GetLastError());
      return nullptr;
    }
    return std::make_unique<Win32Port>(h, clock_);
  }

 private:
  std::string programDir_;
  Clock& clock_;
  std::string devicePath_;  // opened for every COM number when given
};

}  // namespace

std::unique_ptr<PortFactory> MakeSystemPortFactory(const std::string& programDir, Clock& clock,
                                                   TraceSink* extraTrace) {
  return MakeSystemPortFactory(programDir, clock, extraTrace, std::string());
}

std::unique_ptr<PortFactory> MakeSystemPortFactory(const std::string& programDir, Clock& clock,
                                                   TraceSink* extraTrace,
                                                   const std::string& devicePath) {
  return std::make_unique<TracingPortFactory>(
      std::make_unique<Win32PortFactory>(programDir, clock, devicePath), programDir, clock,
      extraTrace);
}

}  // namespace flash
