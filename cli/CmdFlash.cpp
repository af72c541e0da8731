// flashcli download, erase, blank, program, compare, copy and full: each runs
// the very handler the window's button runs.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "app/BoardEnd.h"
#include "base/FileUtil.h"
#include "base/Messages.h"
#include "base/Session.h"
#include "cli/CliSession.h"
#include "cli/Gang.h"
#include "cli/Production.h"
#include "diag/DiagFiles.h"
#include "frontend/StopSignals.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"

namespace flash::cli {
namespace {

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

// Whole seconds keep one decimal; short times two, so they never read "0.0".
std::string SecondsText(double seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, seconds < 1.0 ? "%.2f s" : "%.1f s", seconds);
  return buf;
}

std::string Rate(uint64_t bytes, double seconds) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.1f kbit/s",
                seconds > 0 ? static_cast<double>(bytes) * 8.0 / 1000.0 / seconds : 0.0);
  return buf;
}

uint64_t FileSize(const std::string& path) {
  FileIdentity id;
  return RegularFileIdentity(path, &id) ? id.size : 0;
}

// What the command did, in the words of the command.
std::string SummaryLine(Session& s, int id, double seconds) {
  const SessionState& st = s.state;
  const uint64_t bytes = st.payloadBytes;
  const std::string n = std::to_string(bytes);
  switch (id) {
    case msg::kDownloaded: {
      // From the answer to the reset prompt: the wait for the user is not the link's.
      const WallTime end = s.clock.Now();
      const double sent = st.resetAnswered.seconds ? SecondsBetween(st.resetAnswered, end) : seconds;
      const uint64_t size = FileSize(st.controlProgramPath);
      return "control program of " + std::to_string(size) + " bytes loaded in " +
             SecondsText(sent) + ", " + Rate(size, sent);
    }
    case msg::kErased: return "erased in " + SecondsText(seconds);
    case msg::kBlank:
      return std::to_string(st.regionCount) + (st.regionCount == 1 ? " region" : " regions") +
             " blank in " + SecondsText(seconds);
    case msg::kProgrammed:
      return n + " bytes programmed in " + SecondsText(seconds) + ", " + Rate(bytes, seconds);
    case msg::kIdentical:
      return n + " bytes compared in " + SecondsText(seconds) + ", " + Rate(bytes, seconds);
    case msg::kCopyDone:
      return n + " bytes read out in " + SecondsText(seconds) + ", " + Rate(bytes, seconds);
    case msg::kFullOperationDone:
      return "downloaded, erased as needed, " + n + " bytes programmed and verified in " +
             SecondsText(seconds);
    default: return {};
  }
}

// How the command ended, printed as flashcli says it; the exit status.
int PrintEnding(CliSession& cli, double seconds) {
  Session& s = cli.session();
  const SessionState& st = s.state;
  const int id = st.lastReportId;
  const std::string& text = st.lastReportText;
  // Reports before the last one (Erase's CR read: the read's own, then the erase's).
  for (std::size_t i = 0; i + 1 < st.reportTexts.size(); ++i)
    std::fprintf(stderr, "%s\n", st.reportTexts[i].c_str());
  if (!st.silentEnding.empty()) {
    // Ended without a report of its own: a cancel, a refused prompt, an
    // unexpected answer; a box has said it already.
    if (cli.ui().LastBoxText() != st.silentEnding)
      std::fprintf(stderr, "flashcli: %s\n", st.silentEnding.c_str());
  } else if (id == 0) {
    std::fprintf(stderr, "flashcli: the command ended without a result\n");
  } else if (IsSuccess(id)) {
    std::printf("%s\n%s\n", text.c_str(), SummaryLine(s, id, seconds).c_str());
    return kExitOk;
  } else if (EndOf(s) == BoardEnd::Negative) {
    // The check itself ran to its end; inside a Full Operation it is a failure.
    std::printf("%s\n", text.c_str());
    return kExitNegative;
  } else {
    // A result shown in a box has been printed already.
    if (cli.ui().LastBoxText() != text) std::fprintf(stderr, "%s\n", text.c_str());
    if (id == msg::kOpenPort) PortHint(s);
  }
  return kExitFailure;
}

// The board's record in the production log; one that cannot be written fails
// the run, and the result file says so.
bool RecordBoard(const Production& production, Session& s, BoardFacts& facts) {
  std::string why;
  if (production.Record(s, facts, why)) return true;
  std::fprintf(stderr, "flashcli: %s\n", why.c_str());
  WriteResultFile(s, msg::kUnnumbered, why);
  return false;
}

int RunHandler(const Options& options, const std::function<bool(CliSession&)>& prepare,
               void (*handler)(Session&)) {
  if (options.port && options.port->find(',') != std::string::npos) {
    if (handler == OnCopy) return UsageError("copy reads out one board: give one --port");
    return RunGang(options, prepare, handler);
  }
  int exitCode = 0;
  auto cli = CliSession::Start(options, &exitCode);
  if (!cli) return exitCode;
  Session& s = cli->session();
  cli->ui().SetPrintResults(false);
  if (options.reset) s.args.SetResetPrompt(*options.reset);
  if (options.resetSequence) s.args.SetResetSequence(*options.resetSequence);
  // A script reads the result file: it says NG from the start of the command.
  s.state.unattendedResult = true;
  if (prepare && !prepare(*cli)) return kExitUsage;
  Production production(options);
  if (int code = production.Prepare(s); code != kExitOk) return code;

  BoardFacts facts = production.StartBoard(s);
  production.TakeSerial(s, facts);
  if (!facts.failure.empty()) {
    // Nothing was sent: the board is failed before its command, number and all.
    std::fprintf(stderr, "flashcli: %s\n", facts.failure.c_str());
    WriteResultFile(s, msg::kUnnumbered, facts.failure);
    RecordBoard(production, s, facts);
    return kExitFailure;
  }
  handler(s);
  s.link.ClosePort();
  const bool recorded = RecordBoard(production, s, facts);

  if (int reason = StopReason(s); reason != 0) {
    std::fprintf(stderr, "flashcli: %s: the command was stopped and the port released\n",
                 StopText(reason).c_str());
    return SignalExitStatus(reason);
  }
  const int status = PrintEnding(*cli, facts.seconds);
  // The script that reads the result file would not learn of this run.
  if (s.state.resultFileFailed || !recorded) return kExitFailure;
  return status;
}

bool TakeHexFile(CliSession& c, const Options& options) {
  Session& s = c.session();
  s.state.hexFilePath = AbsolutePath(options.positional.at(0));
  s.state.hexFileName = FileNamePart(s.state.hexFilePath);
  return true;
}

int CliDownload(const Options& o) { return RunHandler(o, nullptr, OnDownload); }
int CliErase(const Options& o) { return RunHandler(o, nullptr, OnErase); }
int CliBlank(const Options& o) { return RunHandler(o, nullptr, OnBlankCheck); }
int CliProgram(const Options& o) {
  return RunHandler(o, [&](CliSession& c) { return TakeHexFile(c, o); }, OnProgramVerify);
}
int CliCompare(const Options& o) {
  return RunHandler(o, [&](CliSession& c) { return TakeHexFile(c, o); }, OnReadCompare);
}
int CliFull(const Options& o) {
  return RunHandler(o, [&](CliSession& c) { return TakeHexFile(c, o); }, OnFullOperation);
}
int CliCopy(const Options& o) {
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
                  CliDownload}},
    Registration{{"erase", "", "erase the flash", 0, 0, CliErase}},
    Registration{{"blank", "", "check that the flash is blank", 0, 0, CliBlank}},
    Registration{{"program", "FILE", "program and verify FILE", 1, 1, CliProgram}},
    Registration{{"compare", "FILE", "read the flash back and compare it with FILE", 1, 1,
                  CliCompare}},
    Registration{{"copy", "OUT", "read the flash out to OUT (S-records; --intel-hex)", 1, 1,
                  CliCopy}},
    Registration{{"full", "FILE", "download, erase when needed, blank check, program FILE", 1, 1,
                  CliFull}},
};

}  // namespace
}  // namespace flash::cli
