// flashsim: a target board on a pseudo-terminal, for the demo and for trying
// every command of the programmer without hardware.
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "sim/Options.h"
#include "sim/PtyServer.h"

using namespace flash::sim;

namespace {

// How often the main thread looks whether the cable was pulled.
constexpr long kWatchIntervalMs = 100;

int Fail(const std::string& why) {
  std::cerr << "flashsim: " << why << "\n";
  return 2;
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
  auto config = BoardConfigFor(*options, &error);
  if (!config) return Fail(error);

  // Signals are taken by this thread alone, with sigtimedwait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const std::string device = config->device;
  PtyServer server(std::move(*config));
  bool ok = server.WithBoard([&](Board& board) {
    if (!options->quiet)
      board.SetLog([](const std::string& line) { std::cerr << "flashsim: " << line << std::endl; });
    return ApplyInitialFlash(board, *options, &error);
  });
  if (!ok) return Fail(error);
  if (options->pullCableAfter >= 0) server.PullCableAfter(options->pullCableAfter);
  if (!server.Start(&error)) return Fail("no pseudo-terminal: " + error);
  if (!options->linkPath.empty() && !server.MakeLink(options->linkPath, &error)) {
    server.Stop();
    return Fail("cannot make the link " + error);
  }
  std::cout << server.SlavePath() << std::endl;
  if (!options->quiet)
    std::cerr << "flashsim: " << device << " waits on " << server.SlavePath()
              << (options->linkPath.empty() ? "" : " (" + options->linkPath + ")")
              << "; Ctrl+C ends it" << std::endl;

  timespec tick{0, kWatchIntervalMs * 1'000'000};
  while (!server.CablePulled()) {
    int sig = sigtimedwait(&stopSignals, nullptr, &tick);
    if (sig > 0) break;
  }
  if (server.CablePulled() && !options->quiet) std::cerr << "flashsim: the cable was pulled" << std::endl;
  server.Stop();
  if (!options->saveFile.empty()) {
    bool saved = server.WithBoard([&](Board& board) { return SaveFlash(board, options->saveFile, &error); });
    if (!saved) return Fail(error);
    if (!options->quiet) std::cerr << "flashsim: flash saved to " << options->saveFile << std::endl;
  }
  return 0;
}
