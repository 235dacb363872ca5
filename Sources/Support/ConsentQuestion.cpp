#include "Support/ConsentQuestion.hpp"

#include <algorithm>

namespace velvix {

ConsentQuestion::ConsentQuestion(Turns& turns, Rank rank, std::function<void()> ask)
    : turns_(turns), rank_(rank), ask_(std::move(ask)) {
  turns_.questions_.push_back(this);
}

ConsentQuestion::~ConsentQuestion() {
  auto& questions = turns_.questions_;
  questions.erase(std::remove(questions.begin(), questions.end(), this), questions.end());
}

void ConsentQuestion::schedule(double delay) {
  if (timer_.isValid()) return;
  // The timer is owned here, so it never fires into a destroyed owner.
  timer_ = turns_.loop_.after(delay, [this] { attempt(); });
}

bool ConsentQuestion::mustWait() const {
  for (const ConsentQuestion* other : turns_.questions_) {
    if (other == this) continue;
    if (other->open_) return true;
    if (other->rank_ < rank_ && (other->isScheduled() || other->waiting_)) return true;
  }
  return false;
}

void ConsentQuestion::attempt() {
  timer_.invalidate();
  if (turns_.setUpWindowIsOpen_ && turns_.setUpWindowIsOpen_()) {
    timer_ = turns_.loop_.after(kSetUpWindowRecheck, [this] { attempt(); });
    return;
  }
  if (mustWait()) {
    waiting_ = true;
    return;
  }
  waiting_ = false;
  ask_();
  if (!open_) wakeOthers();
}

void ConsentQuestion::closed() {
  open_ = false;
  wakeOthers();
}

void ConsentQuestion::wakeOthers() {
  // Only a question that waited for this one can be waiting; it looks again at a later turn.
  for (ConsentQuestion* other : turns_.questions_)
    if (other != this && other->waiting_) other->schedule();
}

}  // namespace velvix
