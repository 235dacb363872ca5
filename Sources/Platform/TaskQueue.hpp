#pragma once
// Somewhere to run work one piece at a time, in order, away from the caller: a serial queue.
// The real one is a thread (SerialQueue); a simulated one turns on the virtual main loop.

#include <functional>

namespace velvix::platform {

class TaskQueue {
 public:
  virtual ~TaskQueue() = default;
  virtual void async(std::function<void()> work) = 0;
};

}  // namespace velvix::platform
