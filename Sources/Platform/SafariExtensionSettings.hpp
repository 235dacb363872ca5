#pragma once
// Safari's own settings window, opened at the page of one of its web extensions (where the user
// switches it on and grants it websites). The answer comes back on the main loop: nothing when the
// window opened, else the reason it did not.

#include <functional>
#include <optional>
#include <string>

namespace velvix::platform {

class SafariExtensionSettings {
 public:
  virtual ~SafariExtensionSettings() = default;
  virtual void showPreferencesForExtension(
      const std::string& identifier, std::function<void(std::optional<std::string> error)> completion) = 0;
};

}  // namespace velvix::platform
