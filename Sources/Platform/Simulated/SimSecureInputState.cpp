#include "Platform/Simulated/SimSecureInputState.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

bool SimSecureInputState::isEnabled() const {
  return desktop_.secureInput.enabled;
}

std::optional<platform::Pid> SimSecureInputState::holder() const {
  return desktop_.secureInput.enabled ? desktop_.secureInput.holder : std::nullopt;
}

}  // namespace velvix::sim
