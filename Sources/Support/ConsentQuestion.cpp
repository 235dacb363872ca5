#include "Support/ConsentQuestion.hpp"

#include "Core/Services.hpp"
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

void ConsentQuestion::attempt() {
  timer_.invalidate();
  if (setUpWindowIsOpen()) {
    timer_ = services_.loop->after(kSetUpWindowRecheck, [this] { attempt(); });
    return;
  }
  ask_();
}

}  // namespace velvix
