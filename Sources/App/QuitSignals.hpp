#pragma once
// Turns Ctrl-C (SIGINT), SIGTERM and SIGHUP into a quit through the application's own terminate
// path: the signal handler only writes a byte to a pipe; a watcher thread passes the request on
// and gives the quit a deadline. If the quit has not finished by then (a stuck main loop), the
// system's Command-Tab is given back and the signal ends the process as it would have. A quit by
// signal is the system's: it answers any question the quit had put to the user, so nothing waits
// for a person past the deadline.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace velvix {

class QuitSignals {
 public:
  static constexpr double kQuitDeadline = 2.0;

  // `requestQuit` runs on the watcher thread; it must hand the quit to the main loop.
  explicit QuitSignals(std::function<void()> requestQuit, double deadline = kQuitDeadline);
  // The quit is done: the deadline no longer applies.
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

 private:
  void watch();

  std::function<void()> requestQuit_;
  const double deadline_;
  int pipe_[2] = {-1, -1};
  std::mutex mutex_;
  std::condition_variable finishedChanged_;
  bool finished_ = false;  // under mutex_
  std::thread watcher_;
};

}  // namespace velvix
