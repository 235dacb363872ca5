#pragma once
// One time budget for all the Accessibility messages that one event-tap callback sends to a
// terminal. Each message is bounded by its own messaging time-out and by what is left of the
// budget, so however many elements a read walks through, the tap answers in time.

#include "Platform/Accessibility.hpp"

namespace velvix {
namespace platform {
class MainLoop;
}

class AXDeadline {
 public:
  // The budget of one tap callback: well under the time after which the system disables a tap.
  static constexpr double kTapBudget = 0.4;

  AXDeadline(const platform::MainLoop& loop, double budget);

  // Sets the element's messaging time-out to `perMessage` or what is left, whichever is shorter;
  // false (and nothing is sent) when the budget is spent.
  bool bound(platform::Accessibility& ax, platform::AXElement element, double perMessage) const;
  bool expired() const { return remaining() <= 0; }
  double remaining() const;

 private:
  const platform::MainLoop& loop_;
  double deadline_;
};

}  // namespace velvix
