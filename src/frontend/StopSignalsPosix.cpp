// POSIX side of the stop signals: sigaction without SA_RESTART, so that a
// question waiting on the terminal returns at once when a signal comes.
#include <signal.h>

#include "frontend/StopSignals.h"

namespace flash {
namespace {

// Process-wide by nature: a signal reaches the process, not a session.
std::atomic<int> gStop{0};

extern "C" void OnStopSignal(int signal) {
  int none = 0;
  gStop.compare_exchange_strong(none, signal);
}

}  // namespace

std::atomic<int>& InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  return gStop;
}

}  // namespace flash
