#pragma once
// When a question asking the user's consent may appear: never while the launch sequence is still
// running (it waits for a later turn of the main loop), and never over the set-up window (while
// that window is open it looks again every second). Several requests before it is put collapse
// into one. Main thread only.

#include <functional>

#include "Platform/MainLoop.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

struct Services;

class ConsentQuestion {
 public:
  static constexpr double kSetUpWindowRecheck = 1.0;

  // `ask` decides for itself whether the question is still needed and puts it.
  ConsentQuestion(Services& services, std::function<void()> ask)
      : services_(services), ask_(std::move(ask)) {}
  ConsentQuestion(const ConsentQuestion&) = delete;
  ConsentQuestion& operator=(const ConsentQuestion&) = delete;

  // Asks after `delay` seconds at the earliest, and at a later turn of the loop in any case.
  void schedule(double delay = 0);
  bool isScheduled() const { return timer_.isValid(); }

 private:
  void attempt();
  bool setUpWindowIsOpen() const;

  Services& services_;
  std::function<void()> ask_;
  platform::Timer timer_;
};

}  // namespace velvix
