#pragma once
// The login-item service of the simulated desktop, with failures that tests can inject.

#include "Platform/LoginItems.hpp"

namespace velvix::sim {

class SimLoginItems final : public platform::LoginItems {
 public:
  platform::LoginItemStatus mainAppStatus() const override { return status_; }
  std::optional<platform::LoginItemError> registerMainApp() override;
  std::optional<platform::LoginItemError> unregisterMainApp() override;

  // The next register/unregister calls fail with this text until cleared.
  void failWith(std::optional<std::string> text) { failure_ = std::move(text); }
  int registerCalls() const { return registerCalls_; }

 private:
  platform::LoginItemStatus status_ = platform::LoginItemStatus::NotRegistered;
  std::optional<std::string> failure_;
  int registerCalls_ = 0;
};

}  // namespace velvix::sim
