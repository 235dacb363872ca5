#pragma once
// The main loop in virtual time. Nothing happens until a test advances the clock: advance() runs
// posted work and fires due timers in time order, so timing behaviour is exact and instant.
// Work posted from real threads (socket server, serial queues) is picked up by the next turn;
// runUntil() waits for it with a real-time bound.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "Platform/MainLoop.hpp"

namespace velvix::sim {

class SimMainLoop final : public platform::MainLoop {
 public:
  // Virtual time starts at 2026-01-01T00:00:00Z with an uptime of 1000 s.
  static constexpr double kStartWallTime = 1767225600.0;
  static constexpr double kStartUptime = 1000.0;

  SimMainLoop();

  void post(std::function<void()> fn) override;
  void postAfter(double seconds, std::function<void()> fn) override;
  platform::Timer after(double seconds, std::function<void()> fn,
                        platform::TimerMode mode = platform::TimerMode::Default) override;
  platform::Timer every(double seconds, std::function<void()> fn,
                        platform::TimerMode mode = platform::TimerMode::Default) override;
  void runFor(double seconds) override { advance(seconds); }
  bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }
  double now() const override { return kStartWallTime + elapsed_.load(); }
  double uptime() const override { return kStartUptime + elapsed_.load(); }

  // Moves virtual time forward by `seconds`, running posted work and every timer that comes due,
  // each at its own due time.
  void advance(double seconds);
  // Runs posted work and timers already due, without moving time.
  void runUntilIdle() { advance(0); }
  // Time passes without the loop turning, as during a blocking call on the main thread; what
  // came due runs at the next turn.
  void spend(double seconds);
  // Turns the loop (posted work only, no virtual time) until `done` holds or the real-time
  // bound passes. For tests of real background threads that post back.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds realTimeout = std::chrono::seconds(10));

  // Simulates a main thread that is stuck: while blocked, time advances and only background
  // timers fire; posted work and main-thread timers wait until it is unblocked.
  void setMainThreadBlocked(bool blocked) { mainBlocked_ = blocked; }
  // A repeating timer of a background thread (see BackgroundTimers).
  platform::Timer everyInBackground(double seconds, std::function<void()> fn);

  // While a menu is tracked, Default-mode timers wait; Common-mode ones keep firing.
  void setMenuTracking(bool tracking) { menuTracking_ = tracking; }

  double elapsed() const { return elapsed_.load(); }
  // Timers fired so far: each is a wake-up of the main thread that a quiet program avoids.
  std::uint64_t timersFired() const { return timersFired_; }

 private:
  struct Scheduled {
    std::shared_ptr<platform::TimerState> state;
    double due;
  };
  using Key = std::pair<double, std::uint64_t>;  // due time, then schedule order

  platform::Timer schedule(double seconds, double interval, std::function<void()> fn,
                           platform::TimerMode mode);
  void insert(std::shared_ptr<platform::TimerState> state, double due);
  bool runPosted();
  bool fireOneDue(double limit);

  std::thread::id mainThread_;
  std::atomic<double> elapsed_{0};
  bool menuTracking_ = false;
  bool mainBlocked_ = false;
  std::uint64_t sequence_ = 0;
  std::uint64_t timersFired_ = 0;
  std::map<Key, std::shared_ptr<platform::TimerState>> timers_;

  mutable std::mutex postedMutex_;
  std::condition_variable postedArrived_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace velvix::sim
