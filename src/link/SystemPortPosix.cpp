// The serial devices of a POSIX system: COMn is the device that section
// "Ports" of Customize.ini names, else /dev/ttyS<n-1>; a device named on the
// command line takes the place of either.
#include <utility>

#include "base/Settings.h"
#include "link/LinkTrace.h"
#include "link/SerialPortPosix.h"
#include "link/SystemPort.h"

namespace flash {
namespace {

class PosixPortFactory final : public PortFactory {
 public:
  PosixPortFactory(std::string programDir, Clock& clock, std::string devicePath)
      : programDir_(std::move(programDir)), clock_(clock), devicePath_(std::move(devicePath)) {}

  std::unique_ptr<Port> Open(int comNumber, std::string* reason) override {
    const std::string path =
        devicePath_.empty() ? ComDevicePath(programDir_, comNumber) : devicePath_;
    std::string why;
    std::unique_ptr<Port> port = OpenPosixPort(path, clock_, &why);
    if (!port && reason) {
      *reason = path + ": " + why;
      if (why.find("ermission") != std::string::npos)
        *reason += " (serial devices usually need membership of the dialout group)";
      else if (why.find("No such file") != std::string::npos && devicePath_.empty())
        *reason += " (section [Ports] of Customize.ini can map COM" + std::to_string(comNumber) +
                   " to another device)";
      else if (why.find("No such file") != std::string::npos)
        *reason += " (flashcli ports lists the serial devices present)";
      else if (why == "in use by another program")
        *reason += " (flashcli ports names it)";
    }
    return port;
  }

 private:
  std::string programDir_;
  Clock& clock_;
  std::string devicePath_;
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
      std::make_unique<PosixPortFactory>(programDir, clock, devicePath), programDir, clock,
      extraTrace);
}

}  // namespace flash
