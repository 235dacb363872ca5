#pragma once
// When a question asking the user's consent may appear: never while the launch sequence is still
// running (it waits for a later turn of the main loop), never over the set-up window (while that
// window is open it looks again every second), and never beside another consent question: they
// take turns, the editor keys' question before the shell's, so the one on screen is always the one
// in front and the one Return answers. Several requests before it is put collapse into one.
// Main thread only.

#include <functional>
#include <vector>

#include "Platform/MainLoop.hpp"

namespace velvix {

class ConsentQuestion {
 public:
  static constexpr double kSetUpWindowRecheck = 1.0;

  // Where a question stands among the others: lower ranks are asked first.
  enum class Rank { editorKeys, shell };

  // The questions that take turns, and the one window that holds them all back. The set-up window
  // belongs to the user interface, which is built above the installers and tells of its window
  // through `setUpWindowIsOpen`. It outlives its questions.
  class Turns {
   public:
    Turns(platform::MainLoop& loop, std::function<bool()> setUpWindowIsOpen)
        : loop_(loop), setUpWindowIsOpen_(std::move(setUpWindowIsOpen)) {}
    Turns(const Turns&) = delete;
    Turns& operator=(const Turns&) = delete;

   private:
    friend class ConsentQuestion;
    platform::MainLoop& loop_;
    std::function<bool()> setUpWindowIsOpen_;
    std::vector<ConsentQuestion*> questions_;
  };

  // `ask` decides for itself whether the question is still needed and puts it; it calls opened()
  // when the question is on screen and closed() when it went away. The question takes its turns
  // among the others of `turns`.
  ConsentQuestion(Turns& turns, Rank rank, std::function<void()> ask);
  ~ConsentQuestion();
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
  // Whether another question is on screen, or one ranked before this one is about to be put.
  bool mustWait() const;
  void wakeOthers();

  Turns& turns_;
  Rank rank_;
  std::function<void()> ask_;
  platform::Timer timer_;
  bool open_ = false;
  bool waiting_ = false;  // wanted to ask while it was another's turn
};

}  // namespace velvix
