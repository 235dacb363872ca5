#pragma once
// The main loop of the real program, over Qt's event loop. A QCoreApplication (or a subclass)
// must exist before it is created, on the thread that becomes the main thread.

#include <memory>

#include "Platform/MainLoop.hpp"

class QObject;

namespace velvix::qt {

class QtMainLoop final : public platform::MainLoop {
 public:
  QtMainLoop();
  ~QtMainLoop() override;

  void post(std::function<void()> fn) override;
  void postAfter(double seconds, std::function<void()> fn) override;
  platform::Timer after(double seconds, std::function<void()> fn,
                        platform::TimerMode mode = platform::TimerMode::Default) override;
  platform::Timer every(double seconds, std::function<void()> fn,
                        platform::TimerMode mode = platform::TimerMode::Default) override;
  void runFor(double seconds) override;
  bool isMainThread() const override;
  double now() const override;
  double uptime() const override;

 private:
  platform::Timer schedule(double seconds, bool repeating, std::function<void()> fn, platform::TimerMode mode);
  std::unique_ptr<QObject> context_;
};

}  // namespace velvix::qt
