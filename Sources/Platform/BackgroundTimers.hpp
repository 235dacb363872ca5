#pragma once
// Repeating work on a thread of its own, for the few watchers that must keep running while the
// main thread is stuck (the health monitor's poll). The real one runs a thread per task; the
// simulated one fires on the virtual clock, also while the simulated main thread is blocked.

#include <functional>
#include <memory>
#include <string>

namespace velvix::platform {

class RepeatingTask {
 public:
  virtual ~RepeatingTask() = default;
  // The next run comes `seconds` after now, then every `seconds`.
  virtual void setInterval(double seconds) = 0;
  // Stops the task; it does not run again once this returns.
  virtual void cancel() = 0;
};

class BackgroundTimers {
 public:
  virtual ~BackgroundTimers() = default;
  // `work` first runs `interval` seconds from now, then every `interval`, on the task's own thread.
  virtual std::unique_ptr<RepeatingTask> every(const std::string& label, double interval,
                                               std::function<void()> work) = 0;
};

}  // namespace velvix::platform
