#pragma once
// A serial queue of the simulated desktop: its work runs on the virtual main loop, one piece
// after another, each `latency` seconds after the previous one ended (or after it was queued),
// so the simulation stays single-threaded and deterministic.

#include <memory>

#include "Platform/MainLoop.hpp"
#include "Platform/TaskQueue.hpp"

namespace velvix::sim {

class SimLoopQueue final : public platform::TaskQueue {
 public:
  SimLoopQueue(platform::MainLoop& loop, std::shared_ptr<const double> latency)
      : loop_(loop), latency_(std::move(latency)) {}
  void async(std::function<void()> work) override;

 private:
  platform::MainLoop& loop_;
  std::shared_ptr<const double> latency_;
  double freeAt_ = 0;  // uptime when the queue has run everything given so far
};

}  // namespace velvix::sim
