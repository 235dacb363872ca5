#pragma once
// The one main loop of the process: work posted from any thread, one-shot and repeating timers,
// nested spinning, and the two clocks. Everything that touches the inventory, the HUD or the chord
// runs on it. SimMainLoop drives it in virtual time for tests; QtMainLoop over Qt's event loop.

#include <atomic>
#include <functional>
#include <memory>

namespace velvix::platform {

// Default timers pause while a menu is tracked or a modal alert is up; Common ones keep firing.
enum class TimerMode { Default, Common };

// Shared between a Timer handle and the loop that schedules it.
struct TimerState {
  std::function<void()> fire;
  double interval = 0;  // seconds; 0 for a one-shot timer
  TimerMode mode = TimerMode::Default;
  bool background = false;  // runs on a thread of its own, not the main thread
  std::atomic<bool> valid{true};
};

// Handle of a scheduled timer. It cancels the timer when invalidated or destroyed, so a timer
// stored in a member dies with its owner and never calls into a dead object.
class Timer {
 public:
  Timer() = default;
  explicit Timer(std::shared_ptr<TimerState> state) : state_(std::move(state)) {}
  Timer(Timer&&) noexcept = default;
  Timer& operator=(Timer&& other) noexcept {
    if (this != &other) {
      invalidate();
      state_ = std::move(other.state_);
    }
    return *this;
  }
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  ~Timer() { invalidate(); }

  void invalidate() {
    if (state_) state_->valid = false;
    state_.reset();
  }
  // A one-shot timer stays valid until it has fired.
  bool isValid() const { return state_ && state_->valid; }

 private:
  std::shared_ptr<TimerState> state_;
};

class MainLoop {
 public:
  virtual ~MainLoop() = default;

  // Runs fn on the main thread at the next turn of the loop. Safe from any thread.
  virtual void post(std::function<void()> fn) = 0;
  // Runs fn on the main thread after `seconds`; fire-and-forget (cannot be cancelled).
  virtual void postAfter(double seconds, std::function<void()> fn) = 0;
  // Cancellable one-shot and repeating timers; main thread only.
  [[nodiscard]] virtual Timer after(double seconds, std::function<void()> fn,
                                    TimerMode mode = TimerMode::Default) = 0;
  [[nodiscard]] virtual Timer every(double seconds, std::function<void()> fn,
                                    TimerMode mode = TimerMode::Default) = 0;
  // Spins the loop (posted work and due timers) for `seconds`, then returns. May nest.
  virtual void runFor(double seconds) = 0;
  virtual bool isMainThread() const = 0;

  // Wall-clock time in seconds since the Unix epoch. Safe from any thread.
  virtual double now() const = 0;
  // Monotonic seconds (for deadlines and ages). Safe from any thread.
  virtual double uptime() const = 0;
};

}  // namespace velvix::platform
