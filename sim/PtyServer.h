#pragma once
// Serves a Board on the master side of a pseudo-terminal, in real time, on a
// thread of its own. The host opens the slave as its serial port.
//
// The server keeps a slave descriptor open for its whole life: the pty then
// survives the host closing and reopening the port between commands (without
// it the master reads EIO until the next open), and the master can read the
// rate the host sets on the line.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "sim/Board.h"

namespace flash::sim {

class PtyServer {
 public:
  explicit PtyServer(BoardConfig config);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the pty and starts serving. False, with the reason in *error, when
  // the pty cannot be made.
  bool Start(std::string* error);
  // Stops serving and closes the pty; removes the link made by MakeLink.
  void Stop();
  bool Running() const { return thread_.joinable(); }

  // The slave's path, for the host's port settings.
  const std::string& SlavePath() const { return slavePath_; }
  // A symbolic link at path to the slave (an existing link there is replaced).
  bool MakeLink(const std::string& path, std::string* error);

  // The cable comes off: the pty is hung up, the host's next write fails.
  // Returns once it has happened.
  void PullCable();
  // Pulls the cable once the board has received this many bytes in all.
  void PullCableAfter(long bytes) { pullAfter_ = bytes; }
  bool CablePulled() const { return pulled_; }

  // Runs f on the board while the server is held still.
  template <class F>
  auto WithBoard(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(board_);
  }

 private:
  void Serve();
  void HangUp();
  // Closes both ends; the caller holds the mutex.
  void CloseLine();
  int64_t NowUs() const;

  Board board_;
  std::mutex mutex_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> pulled_{false};
  std::atomic<bool> pullRequested_{false};
  std::condition_variable pulledChanged_;
  std::atomic<long> pullAfter_{-1};
  int master_ = -1;
  int heldSlave_ = -1;
  int wake_[2] = {-1, -1};
  std::string slavePath_;
  std::string linkPath_;
  int64_t startNs_ = 0;
};

}  // namespace flash::sim
