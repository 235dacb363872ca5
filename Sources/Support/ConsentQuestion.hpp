#pragma once
// When a question asking the user's consent may appear: never while the launch sequence is still
// running (it waits for a later turn of the main loop), never over the set-up window (while that
// window is open it looks again every second), and never beside another consent question: they
// take turns, the editor keys' question before the shell's, so the one on screen is always the one
// in front and the one Return answers. Several requests before it is put collapse into one.
// Main thread only.

#include <functional>

#include "Platform/MainLoop.hpp"

namespace velvix {

struct Services;

class ConsentQuestion {
 public:
  static constexpr double kSetUpWindowRecheck = 1.0;

  // Where a question stands among the others: lower ranks are asked first.
  enum class Rank { editorKeys, shell };

  // `ask` decides for itself whether the question is still needed and puts it; it calls opened()
  // when the question is on screen and closed() when it went away.
  ConsentQuestion(Services& services, Rank rank, std::function<void()> ask)
      : services_(services), rank_(rank), ask_(std::move(ask)) {}
  ConsentQuestion(const ConsentQuestion&) = delete;
  ConsentQuestion& operator=(const ConsentQuestion&) = delete;

  // Asks after `delay` seconds at the earliest, and at a later turn of the loop in any case.
  void schedule(double delay = 0);
  bool isScheduled() const { return timer_.isValid(); }
  bool isOpen() const { return open_; }

  void opened() { open_ = true; }
  // The question was answered (or will not be): the next one waiting may be put.
  void closed();

 private:
  void attempt();
  bool setUpWindowIsOpen() const;
  // Whether another question is on screen, or one ranked before this one is about to be put.
  bool mustWait() const;
  ConsentQuestion* other() const;
  void wakeOthers();

  Services& services_;
  Rank rank_;
  std::function<void()> ask_;
  platform::Timer timer_;
  bool open_ = false;
  bool waiting_ = false;  // wanted to ask while it was another's turn
};

}  // namespace velvix
