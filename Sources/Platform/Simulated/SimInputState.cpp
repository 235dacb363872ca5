#include "Platform/Simulated/SimInputState.hpp"

#include <algorithm>

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

double SimInputState::secondsSinceLastEvent(platform::InputEventType type) const {
  return std::max(0.0, desktop_.loop().uptime() - desktop_.lastInputAt(type));
}

}  // namespace velvix::sim
