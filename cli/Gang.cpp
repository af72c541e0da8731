#include "cli/Gang.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "app/BoardEnd.h"
#include "base/FileUtil.h"
#include "base/Messages.h"
#include "base/Profile.h"
#include "base/Session.h"
#include "base/Settings.h"
#include "cli/CliSession.h"
#include "cli/Production.h"
#include "diag/DiagFiles.h"
#include "frontend/HeadlessFrontEnd.h"
#include "link/BootDownload.h"
#include "link/Protocol.h"
#include "link/ResetSequence.h"
#include "link/SerialInventory.h"
#include "link/SerialLink.h"
#include "ops/CommandHandlers.h"

namespace flash::cli {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kRedrawMs = 200;  // how often the live lines are drawn again

// A board keeps its result out of MESSFILE.TXT, which the run writes once
// for all boards; closing the port is the board's own.
class BoardOutlets final : public ReportOutlets {
 public:
  void WriteResult(Session&, MessageId, const std::string&) const override {}
  void ClosePort(Session& s) const override { s.link.ClosePort(); }
};

// What the display knows of a board; guarded by the run's mutex.
struct Progress {
  std::string phase;
  int lower = 0;
  int upper = 0;
  int position = 0;
  bool done = false;
  BoardEnd end = BoardEnd::Failed;
  std::string text;
  double seconds = 0;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

struct Board {
  std::string port;
  std::unique_ptr<CliSession> cli;
  // The board's boxes and notes: its result says what they said.
  std::unique_ptr<std::FILE, FileCloser> sink{std::tmpfile()};
  Progress progress;
  SteadyClock::time_point start;
  std::string device;  // where its port leads, links resolved
  BoardFacts facts;  // its record in the production log
  bool ran = false;  // its command ran (and recorded itself)
};

using Boards = std::vector<std::unique_ptr<Board>>;

// The report's own line breaks as blanks, so each board keeps one line.
std::string OneLine(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
  }
  return out;
}

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Program and compare count blocks on their bar; the other phases steps.
bool CountsBlocks(const std::string& phase) {
  for (MessageId id : {msg::kTitleProgramming, msg::kTitleReadingComparing}) {
    std::string title(MessageText(id));
    if (auto amp = title.find("&&"); amp != std::string::npos) title.erase(amp, 1);
    if (phase.find(title) != std::string::npos) return true;
  }
  return false;
}

std::string LiveLine(const Board& b) {
  const Progress& p = b.progress;
  char line[160];
  if (p.done) {
    std::snprintf(line, sizeof line, "%-7s %s (%.1f s)", b.port.c_str(), OneLine(p.text).c_str(),
                  p.seconds);
    return line;
  }
  const int span = p.upper - p.lower;
  const int percent = span > 0 ? (p.position - p.lower) * 100 / span : 0;
  std::string rate;
  if (CountsBlocks(p.phase)) {
    const double seconds = SecondsSince(b.start);
    const double bytes = static_cast<double>(p.position - p.lower) * kBlockSize;
    char text[32];
    std::snprintf(text, sizeof text, "  %.1f kB/s", seconds > 0 ? bytes / 1000.0 / seconds : 0.0);
    rate = text;
  }
  std::snprintf(line, sizeof line, "%-7s %-34s %3d%%%s", b.port.c_str(), p.phase.c_str(), percent,
                rate.c_str());
  return line;
}

// A board is named by its COMn; a device named on the command line that no
// COMn maps to, by its path as typed.
std::string BoardLabel(const Session& s, const std::string& port) {
  const std::string com = "COM" + std::to_string(s.state.settings.comPortIndex + 1);
  if (s.state.portDevice.empty()) return com;
  if (MappedComNumber(StationFile(s.state, ""), s.state.portDevice) != 0) return com;
  return port;
}

// The device a board's port leads to, links resolved: two names of one
// device are one board.
std::string BoardDevice(const Session& s) {
  const std::string& named = s.state.portDevice;
  return ResolvedDevicePath(named.empty() ? ComDevicePath(StationFile(s.state, ""),
                                                          s.state.settings.comPortIndex + 1)
                                          : named);
}

// The session of one board, quiet on the terminal and drawn by the run.
std::unique_ptr<Board> PrepareBoard(const Options& options, const std::string& port,
                                    const ReportOutlets& outlets, std::mutex& m, int* exitCode) {
  auto b = std::make_unique<Board>();
  Options own = options;
  own.port = port;
  b->cli = CliSession::Start(own, exitCode, &outlets);
  if (!b->cli) return nullptr;
  Session& s = b->cli->session();
  b->port = BoardLabel(s, port);
  b->device = BoardDevice(s);
  s.args.SetResetPrompt(false);  // asked once for all boards
  if (options.resetSequence) s.args.SetResetSequence(*options.resetSequence);
  HeadlessFrontEnd& ui = b->cli->ui();
  ui.SetPrintResults(false);
  ui.SetShowProgress(false);
  if (b->sink) ui.SetErrorStream(b->sink.get());
  Progress* progress = &b->progress;
  ui.SetProgressObserver([&m, progress](const HeadlessFrontEnd::ProgressView& v) {
    std::lock_guard<std::mutex> lock(m);
    progress->phase = OneLine(v.status.substr(0, v.status.find_first_of("\r\n")));
    progress->lower = v.lower;
    progress->upper = v.upper;
    progress->position = v.position;
  });
  return b;
}

void RunBoard(Board& b, void (*handler)(Session&), const Production& production, std::mutex& m,
              std::condition_variable& ended, bool announce) {
  Session& s = b.cli->session();
  handler(s);
  s.link.ClosePort();
  std::string why;
  const bool recorded = production.Record(s, b.facts, why);
  std::lock_guard<std::mutex> lock(m);
  Progress& p = b.progress;
  p.end = recorded ? EndOf(s) : BoardEnd::Failed;
  p.text = recorded ? EndText(s) : why;
  p.seconds = SecondsSince(b.start);
  p.done = true;
  ended.notify_one();
  if (announce) {
    std::printf("%s\n", LiveLine(b).c_str());
    std::fflush(stdout);
  }
}

bool AllDone(const Boards& boards) {
  for (const auto& b : boards)
    if (!b->progress.done) return false;
  return true;
}

// One line per board, drawn again in place until every board has ended.
void DrawLive(const Boards& boards, std::mutex& m, std::condition_variable& ended) {
  std::unique_lock<std::mutex> lock(m);
  for (bool drawn = false;; drawn = true) {
    const bool last = AllDone(boards);
    if (drawn) std::printf("\033[%zuA", boards.size());
    for (const auto& b : boards) std::printf("\r\033[K%s\n", LiveLine(*b).c_str());
    std::fflush(stdout);
    if (last) return;
    // A board that ends wakes the display at once: the run never waits out a redraw.
    ended.wait_for(lock, std::chrono::milliseconds(kRedrawMs));
  }
}

void PrintSummary(const Boards& boards) {
  std::printf("\n%-7s %-60s %s\n", "port", "result", "seconds");
  for (const auto& b : boards)
    std::printf("%-7s %-60s %7.1f\n", b->port.c_str(), OneLine(b->progress.text).c_str(),
                b->progress.seconds);
  std::fflush(stdout);
}

// "OK" when every board ended OK; else "NG" and one line for each board that
// did not, in port order.
bool WriteGangResult(const Boards& boards) {
  std::string content;
  for (const auto& b : boards)
    if (b->progress.end != BoardEnd::Ok)
      content += b->port + ": " + OneLine(b->progress.text) + "\r\n";
  content = content.empty() ? "OK" : "NG\r\n" + content;
  const std::string path = StationFile(boards.front()->cli->session().state, kResultFile);
  std::string why;
  if (StoreResultFile(path, content, &why)) return true;
  std::fprintf(stderr, "flashcli: the result file %s could not be written: %s\n", path.c_str(),
               why.c_str());
  return false;
}

int ExitStatus(const Boards& boards) {
  bool failed = false;
  bool negative = false;
  for (const auto& b : boards) {
    failed |= b->progress.end == BoardEnd::Failed;
    negative |= b->progress.end == BoardEnd::Negative;
  }
  return failed ? kExitFailure : negative ? kExitNegative : kExitOk;
}

// The reset prompt, once for all boards; a refusal ends every board unstarted.
bool AskResetOnce(const Options& options, void (*handler)(Session&), Boards& boards) {
  const bool connects = handler == OnDownload || handler == OnFullOperation;
  if (!connects || !options.reset.value_or(true)) return true;
  // Boards that reset themselves by their modem lines need no hand.
  bool everyBoardResetsItself = true;
  for (const auto& b : boards)
    everyBoardResetsItself &= !ConfiguredResetSequence(b->cli->session()).empty();
  if (everyBoardResetsItself) return true;
  HeadlessFrontEnd asker(stderr, true);
  if (asker.ShowMessageBox(ResetPrompt(BoxOwner::None)) == BoxAnswer::Ok) return true;
  for (auto& b : boards) {
    b->progress.done = true;
    b->progress.text = std::string(MessageText(msg::kCanceled));
  }
  return false;
}

// Each board takes its serial number in port order, right before it starts;
// one that cannot have its number ends here, unstarted.
void StartBoards(Boards& boards, const Production& production, void (*handler)(Session&),
                 std::mutex& m) {
  const bool live = IsTerminal(stdout);
  std::condition_variable ended;
  std::vector<std::thread> workers;
  for (auto& b : boards) {
    Session& s = b->cli->session();
    b->facts = production.StartBoard(s);
    b->start = SteadyClock::now();
    production.TakeSerial(s, b->facts);
    if (!b->facts.failure.empty()) {
      std::lock_guard<std::mutex> lock(m);
      b->progress.done = true;
      b->progress.text = b->facts.failure;
      if (!live) std::printf("%s\n", LiveLine(*b).c_str());
      continue;
    }
    b->ran = true;
    workers.emplace_back(RunBoard, std::ref(*b), handler, std::cref(production), std::ref(m),
                         std::ref(ended), !live);
  }
  if (live) DrawLive(boards, m, ended);
  for (auto& w : workers) w.join();
}

// The records of the boards whose command never ran (a refused reset prompt,
// a serial number that would not fit).
void RecordUnstarted(Boards& boards, const Production& production) {
  for (auto& b : boards) {
    if (b->ran) continue;
    Session& s = b->cli->session();
    if (b->facts.command.empty()) b->facts = production.StartBoard(s);
    b->facts.failure = b->progress.text;
    std::string why;
    if (!production.Record(s, b->facts, why)) b->progress.text = why;
  }
}

}  // namespace

std::vector<std::string> PortList(const std::string& text) {
  std::vector<std::string> ports;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = text.find(',', from);
    ports.push_back(text.substr(from, comma == std::string::npos ? comma : comma - from));
    if (ports.back().empty()) return {};
    if (comma == std::string::npos) return ports;
    from = comma + 1;
  }
}

int RunGang(const Options& options, const std::function<bool(CliSession&)>& prepare,
            void (*handler)(Session&)) {
  const std::vector<std::string> ports = PortList(*options.port);
  if (ports.empty()) return UsageError("--port takes COMn or a list such as COM1,COM2");
  const BoardOutlets outlets;
  std::mutex m;
  Boards boards;
  for (const std::string& port : ports) {
    int exitCode = kExitUsage;
    auto board = PrepareBoard(options, port, outlets, m, &exitCode);
    if (!board) return exitCode;
    for (const auto& b : boards)
      if (b->device == board->device)
        return UsageError(port + " is named twice (" + b->port + " leads to " + b->device + ")");
    if (prepare && !prepare(*board->cli)) return kExitUsage;
    boards.push_back(std::move(board));
  }
  Production production(options);
  if (int code = production.Prepare(boards.front()->cli->session()); code != kExitOk) return code;
  if (AskResetOnce(options, handler, boards)) StartBoards(boards, production, handler, m);
  RecordUnstarted(boards, production);
  PrintSummary(boards);
  const bool stored = WriteGangResult(boards);
  if (int reason = StopReason(boards.front()->cli->session()); reason != 0) {
    std::fprintf(stderr, "flashcli: %s: the boards were stopped and their ports released\n",
                 StopText(reason).c_str());
    return SignalExitStatus(reason);
  }
  return stored ? ExitStatus(boards) : kExitFailure;
}

}  // namespace flash::cli
