#include "Platform/Linux/ThreadBackgroundTimers.hpp"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include "Platform/Linux/ThreadSignalStack.hpp"

#include <pthread.h>

namespace velvix::platform {
namespace {

using Clock = std::chrono::steady_clock;

class ThreadTask final : public RepeatingTask {
 public:
  ThreadTask(const std::string& label, double interval, std::function<void()> work)
      : interval_(toDuration(interval)), next_(Clock::now() + interval_), work_(std::move(work)) {
    thread_ = std::thread([this, label] {
      ::pthread_setname_np(::pthread_self(), label.substr(0, 15).c_str());
      ThreadSignalStack::ensureForThisThread();
      run();
    });
  }
  ~ThreadTask() override {
    cancel();
    if (thread_.joinable()) thread_.join();
  }

  void setInterval(double seconds) override {
    std::lock_guard lock(mutex_);
    interval_ = toDuration(seconds);
    next_ = Clock::now() + interval_;
    wake_.notify_all();
  }

  void cancel() override {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    wake_.notify_all();
  }

 private:
  static Clock::duration toDuration(double seconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  }

  void run() {
    std::unique_lock lock(mutex_);
    while (!stopped_) {
      if (wake_.wait_until(lock, next_, [this] { return stopped_ || Clock::now() >= next_; }) && !stopped_) {
        next_ += interval_;
        if (next_ < Clock::now()) next_ = Clock::now() + interval_;  // never queue up missed runs
        lock.unlock();
        work_();
        lock.lock();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  Clock::duration interval_;
  Clock::time_point next_;
  std::function<void()> work_;
  bool stopped_ = false;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<RepeatingTask> ThreadBackgroundTimers::every(const std::string& label, double interval,
                                                             std::function<void()> work) {
  return std::make_unique<ThreadTask>(label, interval, std::move(work));
}

}  // namespace velvix::platform
