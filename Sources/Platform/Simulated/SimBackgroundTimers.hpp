#pragma once
// Used by the tests only: the program's background timers run on threads; the tests' world uses
// these so they fire on the virtual clock.
// Background timers on the virtual clock: they fire during SimMainLoop::advance at their own
// times, also while the simulated main thread is blocked.

#include "Platform/BackgroundTimers.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"

namespace velvix::sim {

class SimBackgroundTimers final : public platform::BackgroundTimers {
 public:
  explicit SimBackgroundTimers(SimMainLoop& loop) : loop_(loop) {}
  std::unique_ptr<platform::RepeatingTask> every(const std::string& label, double interval,
                                                 std::function<void()> work) override;

 private:
  SimMainLoop& loop_;
};

}  // namespace velvix::sim
