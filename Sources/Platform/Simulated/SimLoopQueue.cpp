#include "Platform/Simulated/SimLoopQueue.hpp"

#include <algorithm>

namespace velvix::sim {

void SimLoopQueue::async(std::function<void()> work) {
  const double now = loop_.uptime();
  freeAt_ = std::max(freeAt_, now) + *latency_;
  loop_.postAfter(freeAt_ - now, std::move(work));
}

}  // namespace velvix::sim
