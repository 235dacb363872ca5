#pragma once
// The main loop of the real program, over Qt's event loop. A QCoreApplication (or a subclass)
// must exist before it is created, on the thread that becomes the main thread.

#include <atomic>
#include <functional>
#include <memory>

#include "Platform/MainLoop.hpp"

class QObject;

namespace velvix::qt {

class QtMainLoop final : public platform::MainLoop {
 public:
  // `wallClock` (seconds since the Unix epoch) is read once, at the start; empty: the system's.
  explicit QtMainLoop(const std::function<double()>& wallClock = {});
  ~QtMainLoop() override;

  void post(std::function<void()> fn) override;
  void postAfter(double seconds, std::function<void()> fn) override;
  platform::Timer after(double seconds, std::function<void()> fn,
                        platform::TimerMode mode = platform::TimerMode::Default) override;
  platform::Timer every(double seconds, std::function<void()> fn,
                        platform::TimerMode mode = platform::TimerMode::Default) override;
  void runFor(double seconds) override;
  bool isMainThread() const override;
  // The wall clock as it was at the start, moved on by the time since: an order of events kept by
  // it survives the wall clock being set back (a correction from the network, a person changing
  // it), and a date stored in one run still means the same date in the next.
  double now() const override;
  double uptime() const override;

  // The application has quit: from now on nothing posted or scheduled runs, including what was
  // already waiting (a quit is final, even while Qt's loop still empties its queue).
  void stopDelivering() { stopped_ = true; }

 private:
  platform::Timer schedule(double seconds, bool repeating, std::function<void()> fn,
                           platform::TimerMode mode);
  std::unique_ptr<QObject> context_;
  std::atomic<bool> stopped_{false};
  const double wallAtStart_;
  const double bootAtStart_;
};

}  // namespace velvix::qt
