#include "Platform/Simulated/SimLoginItems.hpp"

namespace velvix::sim {

using platform::LoginItemError;
using platform::LoginItemStatus;

std::optional<LoginItemError> SimLoginItems::registerMainApp() {
  ++registerCalls_;
  if (failure_) return LoginItemError{"login item service: " + *failure_, *failure_};
  status_ = LoginItemStatus::Enabled;
  return std::nullopt;
}

std::optional<LoginItemError> SimLoginItems::unregisterMainApp() {
  if (failure_) return LoginItemError{"login item service: " + *failure_, *failure_};
  status_ = LoginItemStatus::NotRegistered;
  return std::nullopt;
}

}  // namespace velvix::sim
