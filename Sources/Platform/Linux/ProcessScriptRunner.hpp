#pragma once
// Used by the tests only: the program's browsers and terminals are those of the simulated desktop,
// whose own script runner answers their scripts, so nothing starts an interpreter; the tests keep
// this runner working for a desktop whose applications take scripts.
// The real script runner: each run starts the script interpreter as a child process (on macOS
// the system's osascript) with the arguments "-e" and the script, in a process group of its own,
// and reads its standard output and standard error through pipes. One background thread drives
// every run: it drains both pipes, keeps at most a bounded amount of each, sends the group
// SIGTERM at the time limit and SIGKILL after a short grace, and completes each run exactly once
// — when the child has ended and its output closed, or at the last deadline even while a
// grandchild keeps the pipe open. Every child is reaped and every descriptor closed.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "Platform/ScriptRunner.hpp"

namespace velvix::platform {

class ProcessScriptRunner final : public ScriptRunner {
 public:
  struct Options {
    std::string interpreter = "/usr/bin/osascript";
    double timeLimit = kTimeLimit;  // seconds until SIGTERM
    double killGrace = 0.5;         // from SIGTERM to SIGKILL, and from SIGKILL to giving up on the pipes
    std::size_t maxOutput = kMaxOutputBytes;
    std::size_t maxError = kMaxErrorBytes;
  };

  explicit ProcessScriptRunner(Options options);
  // Kills every run still going, completes it and reaps its child.
  ~ProcessScriptRunner() override;
  ProcessScriptRunner(const ProcessScriptRunner&) = delete;
  ProcessScriptRunner& operator=(const ProcessScriptRunner&) = delete;

  void run(const std::string& script, Completion completion) override;
  // Children started and not reaped yet.
  std::size_t childrenAlive() const { return childrenAlive_.load(); }

 private:
  struct Run;
  void wake();
  void work();
  void start(Run& run);
  void drain(Run& run, int& fd, std::string& into, std::size_t limit);
  bool advance(Run& run);  // true once the run is finished with (completed and reaped)
  void complete(Run& run);

  Options options_;
  std::mutex mutex_;
  std::deque<std::pair<std::string, Completion>> requests_;
  bool stopping_ = false;
  int wake_[2] = {-1, -1};
  std::list<Run> runs_;  // only the worker touches these
  std::atomic<std::size_t> childrenAlive_{0};
  std::thread worker_;
};

}  // namespace velvix::platform
