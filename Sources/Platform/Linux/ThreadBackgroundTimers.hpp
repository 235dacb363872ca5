#pragma once
// Background timers of the real program: one thread per task, waiting on the monotonic clock.

#include "Platform/BackgroundTimers.hpp"

namespace velvix::platform {

class ThreadBackgroundTimers final : public BackgroundTimers {
 public:
  std::unique_ptr<RepeatingTask> every(const std::string& label, double interval,
                                       std::function<void()> work) override;
};

}  // namespace velvix::platform
