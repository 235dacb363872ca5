#include "Input/AXDeadline.hpp"

#include <algorithm>

#include "Platform/MainLoop.hpp"

namespace velvix {

AXDeadline::AXDeadline(const platform::MainLoop& loop, double budget)
    : loop_(loop), deadline_(loop.uptime() + budget) {}

double AXDeadline::remaining() const {
  return deadline_ - loop_.uptime();
}

bool AXDeadline::bound(platform::Accessibility& ax, platform::AXElement element, double perMessage) const {
  const double left = remaining();
  if (left <= 0) return false;
  ax.setMessagingTimeout(element, std::min(perMessage, left));
  return true;
}

}  // namespace velvix
