#include "Platform/Linux/SerialQueue.hpp"

#include <chrono>

#include "Platform/Linux/ThreadSignalStack.hpp"
namespace velvix::platform {

SerialQueue::SerialQueue(std::string label)
    : label_(std::move(label)), thread_([this] {
        ThreadSignalStack::ensureForThisThread();
        run();
      }) {}

SerialQueue::~SerialQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void SerialQueue::async(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    work_.push_back(std::move(work));
  }
  wake_.notify_one();
}

void SerialQueue::drain() {
  if (isCurrent()) return;  // draining from inside would wait for itself
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return work_.empty() && !busy_; });
}

bool SerialQueue::drainFor(double stall) {
  if (isCurrent()) return true;
  const auto span = std::chrono::duration<double>(stall);
  std::unique_lock lock(mutex_);
  for (;;) {
    const std::uint64_t before = finished_;
    if (idle_.wait_for(lock, span,
                       [this, before] { return (work_.empty() && !busy_) || finished_ != before; })) {
      if (work_.empty() && !busy_) return true;
      continue;  // progress: wait on
    }
    return false;
  }
}

void SerialQueue::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !work_.empty(); });
    if (work_.empty()) return;  // stopping, and everything queued has run
    auto work = std::move(work_.front());
    work_.pop_front();
    busy_ = true;
    lock.unlock();
    work();
    lock.lock();
    busy_ = false;
    ++finished_;
    idle_.notify_all();
  }
}

}  // namespace velvix::platform
