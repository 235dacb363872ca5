#include "Platform/Simulated/SimMainLoop.hpp"

#include <algorithm>

namespace velvix::sim {

using platform::Timer;
using platform::TimerMode;
using platform::TimerState;

SimMainLoop::SimMainLoop() : mainThread_(std::this_thread::get_id()) {}

void SimMainLoop::post(std::function<void()> fn) {
  {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(fn));
  }
  postedArrived_.notify_all();
}

void SimMainLoop::postAfter(double seconds, std::function<void()> fn) {
  if (!isMainThread()) {
    post([this, seconds, fn = std::move(fn)]() mutable { postAfter(seconds, std::move(fn)); });
    return;
  }
  auto state = std::make_shared<TimerState>();
  state->fire = std::move(fn);
  state->mode = TimerMode::Common;
  insert(state, elapsed_.load() + std::max(0.0, seconds));
}

Timer SimMainLoop::after(double seconds, std::function<void()> fn, TimerMode mode) {
  return schedule(seconds, 0, std::move(fn), mode);
}

Timer SimMainLoop::every(double seconds, std::function<void()> fn, TimerMode mode) {
  return schedule(seconds, std::max(seconds, 1e-6), std::move(fn), mode);
}

Timer SimMainLoop::schedule(double seconds, double interval, std::function<void()> fn, TimerMode mode) {
  auto state = std::make_shared<TimerState>();
  state->fire = std::move(fn);
  state->interval = interval;
  state->mode = mode;
  insert(state, elapsed_.load() + std::max(0.0, seconds));
  return Timer(state);
}

void SimMainLoop::insert(std::shared_ptr<TimerState> state, double due) {
  timers_.emplace(Key{due, sequence_++}, std::move(state));
}

platform::Timer SimMainLoop::everyInBackground(double seconds, std::function<void()> fn) {
  auto state = std::make_shared<TimerState>();
  state->fire = std::move(fn);
  state->interval = std::max(seconds, 1e-6);
  state->mode = TimerMode::Common;
  state->background = true;
  insert(state, elapsed_.load() + std::max(0.0, seconds));
  return Timer(state);
}

bool SimMainLoop::runPosted() {
  if (mainBlocked_) return false;
  bool ran = false;
  for (;;) {
    std::function<void()> fn;
    {
      std::lock_guard lock(postedMutex_);
      if (posted_.empty()) return ran;
      fn = std::move(posted_.front());
      posted_.pop_front();
    }
    fn();
    ran = true;
  }
}

// Fires the earliest valid timer due at or before `limit` (skipping Default-mode timers while a
// menu is tracked). Returns false when there is none.
bool SimMainLoop::fireOneDue(double limit) {
  for (auto it = timers_.begin(); it != timers_.end() && it->first.first <= limit;) {
    auto state = it->second;
    if (!state->valid) {
      it = timers_.erase(it);
      continue;
    }
    if ((menuTracking_ && state->mode == TimerMode::Default) || (mainBlocked_ && !state->background)) {
      ++it;
      continue;
    }
    double due = it->first.first;
    timers_.erase(it);
    if (due > elapsed_.load()) elapsed_ = due;
    if (state->interval > 0) {
      insert(state, due + state->interval);
    } else {
      state->valid = false;
    }
    auto fire = state->fire;  // the callback may invalidate or reschedule its own timer
    ++timersFired_;
    fire();
    return true;
  }
  return false;
}

void SimMainLoop::advance(double seconds) {
  const double target = elapsed_.load() + std::max(0.0, seconds);
  for (;;) {
    runPosted();
    if (!fireOneDue(target)) break;
  }
  if (target > elapsed_.load()) elapsed_ = target;
  runPosted();
}

void SimMainLoop::spend(double seconds) {
  if (seconds > 0) elapsed_ = elapsed_.load() + seconds;
}

bool SimMainLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds realTimeout) {
  const auto deadline = std::chrono::steady_clock::now() + realTimeout;
  for (;;) {
    runPosted();
    if (done()) return true;
    std::unique_lock lock(postedMutex_);
    if (!postedArrived_.wait_until(lock, deadline, [this] { return !posted_.empty(); })) {
      lock.unlock();
      runPosted();
      return done();
    }
  }
}

}  // namespace velvix::sim
