// flashsim: target boards on pseudo-terminals, for the demo and for trying
// every command of the programmer without hardware.
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/Options.h"
#include "sim/PtyServer.h"

using namespace flash::sim;

namespace {

// How often the main thread looks whether a cable was pulled.
constexpr long kWatchIntervalMs = 100;

int Fail(const std::string& why) {
  std::cerr << "flashsim: " << why << "\n";
  return 2;
}

// Every board logs from its own thread: a line goes out in one piece.
void Say(const std::string& line) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  std::cerr << "flashsim: " + line + "\n" << std::flush;
}

// One board on its pseudo-terminal, with what the options ask of it.
struct Served {
  BoardOptions options;
  std::string link;
  std::string tag;  // "board K: " before its lines when there are several
  std::unique_ptr<PtyServer> server;
  bool pulledTold = false;
};

// The boards the options describe, flash filled and faults set, not yet serving.
bool SetUp(const SimOptions& o, std::vector<Served>* boards, std::string* device, std::string* error) {
  for (int k = 1; k <= o.boards; ++k) {
    Served s;
    s.options = OptionsForBoard(o, k);
    s.link = LinkForBoard(o, k);
    if (o.boards > 1) s.tag = "board " + std::to_string(k) + ": ";
    std::string why;
    auto config = BoardConfigFor(o, &why, k);
    if (!config) {
      *error = s.tag + why;
      return false;
    }
    *device = config->device;
    s.server = std::make_unique<PtyServer>(std::move(*config));
    bool ok = s.server->WithBoard([&](Board& board) {
      if (!o.quiet) board.SetLog([tag = s.tag](const std::string& line) { Say(tag + line); });
      return ApplyInitialFlash(board, s.options, &why);
    });
    if (!ok) {
      *error = s.tag + why;
      return false;
    }
    if (s.options.pullCableAfter >= 0) s.server->PullCableAfter(s.options.pullCableAfter);
    boards->push_back(std::move(s));
  }
  return true;
}

// Stops serving; each server removes its link.
void StopAll(std::vector<Served>& boards) {
  for (Served& s : boards) s.server->Stop();
}

bool StartAll(std::vector<Served>& boards, std::string* error) {
  for (Served& s : boards) {
    std::string why;
    bool ok = s.server->Start(&why);
    if (!ok) *error = s.tag + "no pseudo-terminal: " + why;
    if (ok && !s.link.empty() && !s.server->MakeLink(s.link, &why)) {
      ok = false;
      *error = s.tag + "cannot make the link " + why;
    }
    if (!ok) {
      StopAll(boards);
      return false;
    }
  }
  return true;
}

void Announce(const std::vector<Served>& boards, const std::string& device, bool quiet) {
  for (const Served& s : boards) {
    std::cout << s.server->SlavePath() << std::endl;
    if (!quiet)
      Say(device + " waits on " + s.server->SlavePath() + (s.link.empty() ? "" : " (" + s.link + ")") +
          "; Ctrl+C ends it");
  }
}

// Serves until a stop signal comes or every cable is off.
void Watch(std::vector<Served>& boards, const sigset_t& stopSignals, bool quiet) {
  timespec tick{0, kWatchIntervalMs * 1'000'000};
  bool stop = false;
  for (;;) {
    bool allPulled = true;
    for (Served& s : boards) {
      if (!s.server->CablePulled()) {
        allPulled = false;
      } else if (!s.pulledTold) {
        s.pulledTold = true;
        if (!quiet) Say(s.tag + "the cable was pulled");
      }
    }
    if (stop || allPulled) return;
    stop = sigtimedwait(&stopSignals, nullptr, &tick) > 0;
  }
}

bool SaveAll(std::vector<Served>& boards, bool quiet, std::string* error) {
  for (Served& s : boards) {
    const std::string& file = s.options.saveFile;
    if (file.empty()) continue;
    std::string why;
    bool saved = s.server->WithBoard([&](Board& board) { return SaveFlash(board, file, &why); });
    if (!saved) {
      *error = s.tag + why;
      return false;
    }
    if (!quiet) Say(s.tag + "flash saved to " + file);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = ParseSimOptions(args, &error);
  if (!options) return Fail(error);
  if (options->help) {
    std::cout << SimUsage();
    return 0;
  }
  if (!options->makeProgram.empty()) {
    if (!WriteControlProgram(*options, &error)) return Fail(error);
    return 0;
  }
  std::vector<Served> boards;
  std::string device;
  if (!SetUp(*options, &boards, &device, &error)) return Fail(error);

  // Signals are taken by this thread alone, with sigtimedwait in Watch; the
  // serving threads inherit the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!StartAll(boards, &error)) return Fail(error);
  Announce(boards, device, options->quiet);
  Watch(boards, stopSignals, options->quiet);
  StopAll(boards);
  if (!SaveAll(boards, options->quiet, &error)) return Fail(error);
  return 0;
}
