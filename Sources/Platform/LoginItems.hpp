#pragma once
// The system's login-item service for the main application (launch at login).

#include <optional>
#include <string>

namespace velvix::platform {

enum class LoginItemStatus { NotRegistered, Enabled, RequiresApproval, NotFound };

struct LoginItemError {
  std::string description;           // technical text, for the process log
  std::string localizedDescription;  // text shown to the user
};

class LoginItems {
 public:
  virtual ~LoginItems() = default;
  virtual LoginItemStatus mainAppStatus() const = 0;
  // Each returns the error on failure, nothing on success.
  virtual std::optional<LoginItemError> registerMainApp() = 0;
  virtual std::optional<LoginItemError> unregisterMainApp() = 0;
};

}  // namespace velvix::platform
