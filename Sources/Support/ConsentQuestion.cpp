#include "Support/ConsentQuestion.hpp"

#include "Core/Services.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"
#include "UI/OnboardingWindowController.hpp"

namespace velvix {

void ConsentQuestion::schedule(double delay) {
  if (timer_.isValid()) return;
  // The timer is owned here, so it never fires into a destroyed owner.
  timer_ = services_.loop->after(delay, [this] { attempt(); });
}

bool ConsentQuestion::setUpWindowIsOpen() const {
  return services_.onboardingWindow && services_.onboardingWindow->window() != nullptr;
}

ConsentQuestion* ConsentQuestion::other() const {
  if (rank_ == Rank::shell)
    return services_.vscodeKeybindings ? &services_.vscodeKeybindings->consentQuestion() : nullptr;
  return services_.terminalIntegration ? &services_.terminalIntegration->consentQuestion() : nullptr;
}

bool ConsentQuestion::mustWait() const {
  const ConsentQuestion* o = other();
  if (!o || o == this) return false;
  if (o->open_) return true;
  return o->rank_ < rank_ && (o->isScheduled() || o->waiting_);
}

void ConsentQuestion::attempt() {
  timer_.invalidate();
  if (setUpWindowIsOpen()) {
    timer_ = services_.loop->after(kSetUpWindowRecheck, [this] { attempt(); });
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
  // Only the other question can be waiting for this one; it looks again at a later turn.
  if (ConsentQuestion* o = other(); o && o != this && o->waiting_) o->schedule();
}

}  // namespace velvix
