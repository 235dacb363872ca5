#include "Platform/Simulated/SimInputState.hpp"

#include <algorithm>

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimInput.hpp"

namespace velvix::sim {

double SimInputState::secondsSinceLastEvent(platform::InputEventType type) const {
  return std::max(0.0, desktop_.loop().uptime() - desktop_.lastInputAt(type));
}

std::uint64_t SimInputState::modifierFlags() const {
  return desktop_.input().heldFlags();
}

bool SimInputState::isKeyDown(std::int64_t keyCode) const {
  return desktop_.input().isKeyHeld(keyCode);
}

bool SimInputState::isAnyMouseButtonDown() const {
  return desktop_.input().isMouseButtonDown();
}

}  // namespace velvix::sim
