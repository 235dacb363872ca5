#pragma once
// A serial background queue: one thread that runs submitted work in order. Used for file and
// process work that must never block the main loop. Destruction finishes the queued work first.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "Platform/TaskQueue.hpp"

namespace velvix::platform {

class SerialQueue final : public TaskQueue {
 public:
  explicit SerialQueue(std::string label);
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  void async(std::function<void()> work) override;
  // Blocks until everything queued before this call has run.
  void drain();
  // As drain, but gives up (false) once a piece of work has been running for `stall` seconds
  // without finishing.
  bool drainFor(double stall);
  bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }
  const std::string& label() const { return label_; }

 private:
  void run();

  std::string label_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> work_;
  bool busy_ = false;
  std::uint64_t finished_ = 0;  // pieces of work run so far
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace velvix::platform
