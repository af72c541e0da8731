// flashcli download, erase, blank, program, compare, copy and full: each runs
// the very handler the window's button runs.
#include <cstdio>
#include <cstring>
#include <functional>

#include "app/FileUtil.h"
#include "app/Messages.h"
#include "app/Session.h"
#include "cli/CliSession.h"
#include "link/SerialLink.h"
#include "ops/Commands.h"

namespace flash::cli {
namespace {

bool IsSuccess(int id) {
  switch (id) {
    case msg::kErased:
    case msg::kBlank:
    case msg::kProgrammed:
    case msg::kIdentical:
    case msg::kFullOperationDone:
    case msg::kDownloaded:
    case msg::kCopyDone:
      return true;
    default:
      return false;
  }
}

// Why a port would not open, and what usually helps.
void PortHint(Session& s) {
  const std::string& reason = s.link.LastOpenError();
  if (!reason.empty()) std::fprintf(stderr, "flashcli: COM%d: %s\n", s.state.settings.comPortIndex + 1, reason.c_str());
  std::fprintf(stderr,
               "flashcli: hint: section [Ports] of Customize.ini maps COMn to a device "
               "(COM%d=/dev/ttyUSB0); opening it needs membership of the 'dialout' group, and "
               "no other program may hold it (fuser DEVICE shows who does)\n",
               s.state.settings.comPortIndex + 1);
}

int RunHandler(const Options& options, const std::function<bool(CliSession&)>& prepare,
               void (*handler)(Session&)) {
  int exitCode = 0;
  auto cli = CliSession::Start(options, &exitCode);
  if (!cli) return exitCode;
  Session& s = cli->session();
  cli->ui().SetPrintResults(false);
  if (options.reset) s.args.SetResetPrompt(*options.reset);
  if (prepare && !prepare(*cli)) return kExitUsage;

  WallTime start = s.clock.Now();
  handler(s);
  s.link.ClosePort();
  WallTime end = s.clock.Now();

  const int id = s.state.lastReportId;
  const std::string& text = s.state.lastReportText;
  if (IsSuccess(id)) {
    std::printf("%s\n", text.c_str());
    double seconds = static_cast<double>(end.seconds - start.seconds) +
                     (end.milliseconds - start.milliseconds) / 1000.0;
    uint64_t bytes = s.state.payloadBytes;
    if (id == msg::kDownloaded && IsRegularFile(s.state.controlProgramPath)) {
      if (std::FILE* f = std::fopen(s.state.controlProgramPath.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes = static_cast<uint64_t>(std::ftell(f));
        std::fclose(f);
      }
    }
    double kbits = seconds > 0 ? static_cast<double>(bytes) * 8.0 / 1000.0 / seconds : 0.0;
    std::printf("%llu bytes, %.3f s, %.1f kbit/s\n", static_cast<unsigned long long>(bytes),
                seconds, kbits);
    return kExitOk;
  }
  if (id == msg::kNotBlank || id == msg::kDifference) {
    std::printf("%s\n", text.c_str());
    return kExitNegative;
  }
  if (id != 0) std::fprintf(stderr, "%s\n", text.c_str());
  else std::fprintf(stderr, "flashcli: the command ended without a result\n");
  if (id == msg::kOpenPort) PortHint(s);
  return kExitFailure;
}

bool TakeHexFile(CliSession& c, const Options& options) {
  Session& s = c.session();
  s.state.hexFilePath = AbsolutePath(options.positional.at(0));
  s.state.hexFileName = FileNamePart(s.state.hexFilePath);
  return true;
}

int RunDownload(const Options& o) { return RunHandler(o, nullptr, OnDownload); }
int RunErase(const Options& o) { return RunHandler(o, nullptr, OnErase); }
int RunBlank(const Options& o) { return RunHandler(o, nullptr, OnBlankCheck); }
int RunProgram(const Options& o) {
  return RunHandler(o, [&](CliSession& c) { return TakeHexFile(c, o); }, OnProgramVerify);
}
int RunCompare(const Options& o) {
  return RunHandler(o, [&](CliSession& c) { return TakeHexFile(c, o); }, OnReadCompare);
}
int RunFull(const Options& o) {
  return RunHandler(o, [&](CliSession& c) { return TakeHexFile(c, o); }, OnFullOperation);
}
int RunCopy(const Options& o) {
  return RunHandler(
      o,
      [&](CliSession& c) {
        c.session().state.copyAsIntelHex = o.intelHex;
        // The save dialog answers with the file named on the command line.
        c.ui().SetSaveFileAnswer(AbsolutePath(o.positional.at(0)));
        return true;
      },
      OnCopy);
}

const Registration kCommands[] = {
    Registration{{"download", "", "download the control program (reset the board first)", 0, 0,
                  RunDownload}},
    Registration{{"erase", "", "erase the flash", 0, 0, RunErase}},
    Registration{{"blank", "", "check that the flash is blank", 0, 0, RunBlank}},
    Registration{{"program", "FILE", "program and verify FILE", 1, 1, RunProgram}},
    Registration{{"compare", "FILE", "read the flash back and compare it with FILE", 1, 1,
                  RunCompare}},
    Registration{{"copy", "OUT", "read the flash out to OUT (S-records; --intel-hex)", 1, 1,
                  RunCopy}},
    Registration{{"full", "FILE", "download, erase when needed, blank check, program FILE", 1, 1,
                  RunFull}},
};

}  // namespace
}  // namespace flash::cli
